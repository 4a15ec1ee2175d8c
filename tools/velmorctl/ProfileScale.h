// What a unit's loaded profile says of its positions: the physical unit they are given in, the
// full steps per that unit, and the travel limits in it. Pure arithmetic, no library call.
#ifndef VELMORCTL_PROFILESCALE_H
#define VELMORCTL_PROFILESCALE_H

#include <cstdint>
#include <optional>
#include <string>

struct ProfileScale
{
    std::string serialNumber;
    std::string name;               // may be empty
    std::string unit = "steps";
    double stepsPerUnit = 1.0;      // full steps; positive
    std::optional<double> travelMin;
    std::optional<double> travelMax;

    // The full step nearest to `value` (in the unit), halves away from zero; false when that
    // lies beyond what a move takes (a 32-bit step count) or `value` is no finite number.
    bool toSteps(double value, int32_t *steps) const;
    double inUnit(int64_t steps) const { return static_cast<double>(steps) / stepsPerUnit; }
    // A position or distance of whole steps in the unit, with as many decimals as tell one step
    // from the next: "12.5 mm" at 200 steps per mm.
    std::string quantity(int64_t steps) const;
    // "12.5 mm (2500 steps)"
    std::string positionText(int64_t steps) const;
    // A number the profile gives (a limit) with the unit: "-5 mm".
    std::string limitText(double value) const;
    // "-5 mm to 120 mm", "from -5 mm", "up to 120 mm", "none"
    std::string travelText() const;
    // Why a move to `targetSteps` is beyond the travel limits; empty when it is not.
    std::string beyondTravel(int64_t targetSteps) const;
};

#endif
