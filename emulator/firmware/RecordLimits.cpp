#include "RecordLimits.h"

#include "Answer.h"
#include "ByteOrder.h"
#include "MotionConfigurationRecord.h"

#include <algorithm>

namespace velmor_firmware {

namespace {
constexpr uint8_t s_firstLimitFunction = 32;
constexpr uint8_t s_secondLimitFunction = 33;
constexpr uint8_t s_maximumLimitAction = 2;
} // namespace

RecordLimits::RecordLimits(const UnitModel &model)
    : m_model(model)
{
}

uint8_t RecordLimits::checkMotionConfiguration(const std::vector<uint8_t> &bytes) const
{
    const MotionConfigurationRecord record(bytes);
    const uint8_t exponent = record.stepExponent();
    bool inRange = exponent <= m_model.fullStepMode() && isStepRateInRange(record.speed(), exponent);
    if (record.alternateSpeedEnabled())
        inRange = inRange && isStepRateInRange(record.alternateSpeed(), exponent);
    if (record.isRamped())
        inRange = inRange && record.acceleration() >= 1 && record.acceleration() <= s_maximumAcceleration;
    return inRange ? Answer::Success : Answer::MotionConfigurationOutOfRange;
}

uint8_t RecordLimits::checkMotorConfiguration(const std::vector<uint8_t> &bytes) const
{
    const uint16_t current = byte_order::little16(bytes, 2);
    const bool inRange = current >= UnitModel::s_minimumCurrent && current <= m_model.maximumCurrent();
    return inRange ? Answer::Success : Answer::MotorConfigurationOutOfRange;
}

uint8_t RecordLimits::checkInputConfiguration(const std::vector<uint8_t> &bytes) const
{
    const auto channels = static_cast<long>(m_model.inputChannelCount());
    const size_t settings = static_cast<size_t>(channels);
    const bool polaritiesInRange = bytes[settings + 2] <= 1 && bytes[settings + 4] <= 1;
    const bool actionsInRange = bytes[settings + 3] <= s_maximumLimitAction && bytes[settings + 5] <= s_maximumLimitAction;
    const bool limitsOnce = std::count(bytes.begin(), bytes.begin() + channels, s_firstLimitFunction) <= 1
        && std::count(bytes.begin(), bytes.begin() + channels, s_secondLimitFunction) <= 1;
    return polaritiesInRange && actionsInRange && limitsOnce ? Answer::Success : Answer::InterfaceConfigurationOutOfRange;
}

uint8_t RecordLimits::checkAdvancedMoveConfiguration(const std::vector<uint8_t> &bytes) const
{
    const bool inRange = bytes[1] <= 1 && bytes[4] <= 2 && byte_order::little16(bytes, 7) <= s_maximumHomeValue
        && byte_order::little16(bytes, 9) <= s_maximumHomeValue;
    return inRange ? Answer::Success : Answer::MotionConfigurationOutOfRange;
}

// The second byte is the PWM step mode on hardware 1.2 and a second PWM value on hardware 27.1.
uint8_t RecordLimits::checkPwmSettings(const std::vector<uint8_t> &bytes) const
{
    bool inRange = bytes[0] <= s_maximumPwmValue;
    if (bytes.size() > 1)
        inRange = inRange && bytes[1] <= (m_model.is(27, 1) ? s_maximumPwmValue : 1);
    return inRange ? Answer::Success : Answer::InterfaceConfigurationOutOfRange;
}

bool RecordLimits::isStepRateInRange(uint16_t speed, uint8_t stepExponent) const
{
    const uint64_t stepRate = static_cast<uint64_t>(speed) << std::min<uint8_t>(stepExponent, 31);
    return stepRate >= 1 && stepRate <= m_model.maximumStepRate();
}

} // namespace velmor_firmware
