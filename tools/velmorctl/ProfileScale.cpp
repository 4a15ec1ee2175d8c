#include "ProfileScale.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// Decimals that show a number without a needless tail: "120", "12.5", "-0.005".
std::string trimmed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result = text;
    if (result.find('.') != std::string::npos) {
        result.erase(result.find_last_not_of('0') + 1);
        if (result.back() == '.')
            result.pop_back();
    }
    return result == "-0" ? "0" : result;
}

} // namespace

bool ProfileScale::toSteps(double value, int32_t *steps) const
{
    double exact = value * stepsPerUnit;
    if (!std::isfinite(exact))
        return false;
    // A decimal such as 0.0025 mm at 200 steps/mm is a hair off the half step in binary: a
    // product within a billionth of a half step counts as the half step.
    const double nearHalf = std::floor(exact) + 0.5;
    if (std::fabs(exact - nearHalf) <= 1e-9 * std::max(1.0, std::fabs(exact)))
        exact = nearHalf;
    const double rounded = std::round(exact);
    if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min())
        || rounded > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return false;
    *steps = static_cast<int32_t>(rounded);
    return true;
}

std::string ProfileScale::quantity(int64_t steps) const
{
    // One step is 1/stepsPerUnit of the unit: enough decimals to tell one step from the next.
    const int decimals = static_cast<int>(std::ceil(std::log10(stepsPerUnit) - 1e-9));
    return trimmed(inUnit(steps), std::max(0, std::min(decimals, 9))) + " " + unit;
}

std::string ProfileScale::positionText(int64_t steps) const
{
    return quantity(steps) + " (" + std::to_string(steps) + (steps == 1 || steps == -1 ? " step)" : " steps)");
}

std::string ProfileScale::limitText(double value) const
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", value);
    return std::string(text) + " " + unit;
}

std::string ProfileScale::travelText() const
{
    if (travelMin && travelMax)
        return limitText(*travelMin) + " to " + limitText(*travelMax);
    if (travelMin)
        return "from " + limitText(*travelMin);
    if (travelMax)
        return "up to " + limitText(*travelMax);
    return "none";
}

std::string ProfileScale::beyondTravel(int64_t targetSteps) const
{
    const double target = inUnit(targetSteps);
    const std::string whose = "the travel limits of the profile" + (name.empty() ? std::string() : " \"" + name + "\"");
    if (travelMin && target < *travelMin)
        return "the target, " + positionText(targetSteps) + ", lies below the lower travel limit (min) of "
            + limitText(*travelMin) + " (" + whose + "): nothing was moved";
    if (travelMax && target > *travelMax)
        return "the target, " + positionText(targetSteps) + ", lies above the upper travel limit (max) of "
            + limitText(*travelMax) + " (" + whose + "): nothing was moved";
    return std::string();
}
