// The checks the firmware runs on a written record before it keeps it. Each answers the status
// the unit sends back: 0 when the record is kept, else the out-of-range status of its kind.
#ifndef VELMOR_FIRMWARE_RECORDLIMITS_H
#define VELMOR_FIRMWARE_RECORDLIMITS_H

#include "UnitModel.h"

#include <cstdint>
#include <vector>

namespace velmor_firmware {

class RecordLimits
{
public:
    static constexpr uint32_t s_maximumAcceleration = 10000000;    // tenths of a step/s²
    static constexpr uint16_t s_maximumHomeValue = 10000;
    static constexpr uint8_t s_maximumPwmValue = 100;

    explicit RecordLimits(const UnitModel &model);

    // Step exponent within the step modes, step rate of each speed in use from 1 to the maximum,
    // a ramped acceleration from 0.1 to 1000000 steps/s²: else 200.
    uint8_t checkMotionConfiguration(const std::vector<uint8_t> &bytes) const;
    // Current from 50 mA to the hardware's maximum: else 201.
    uint8_t checkMotorConfiguration(const std::vector<uint8_t> &bytes) const;
    // Limit polarities 0 or 1, limit actions 0 to 2, each limit function on one channel at most:
    // else 202.
    uint8_t checkInputConfiguration(const std::vector<uint8_t> &bytes) const;
    // Backlash direction 0 or 1, homing mode 0 to 2, homing values up to 10000: else 200.
    uint8_t checkAdvancedMoveConfiguration(const std::vector<uint8_t> &bytes) const;
    // PWM values up to 100, the PWM step mode 0 or 1: else 202.
    uint8_t checkPwmSettings(const std::vector<uint8_t> &bytes) const;

private:
    bool isStepRateInRange(uint16_t speed, uint8_t stepExponent) const;

    const UnitModel &m_model;
};

} // namespace velmor_firmware

#endif
