#include "MotionConfigurationRecord.h"

#include "ByteOrder.h"

namespace velmor_firmware {

MotionConfigurationRecord::MotionConfigurationRecord(std::vector<uint8_t> bytes)
    : m_bytes(std::move(bytes))
{
}

MotionConfigurationRecord MotionConfigurationRecord::defaults(size_t length, uint8_t stepExponent)
{
    std::vector<uint8_t> bytes(length == s_longLength ? s_longLength : s_shortLength, 0);
    bytes[0] = stepExponent;
    byte_order::putLittle16(bytes, 1, s_defaultSpeed);
    if (length == s_longLength) {
        byte_order::putLittle16(bytes, 3, s_defaultSpeed);
        byte_order::putLittle32(bytes, 5, s_defaultAcceleration);
    } else {
        byte_order::putLittle32(bytes, 3, s_defaultAcceleration);
    }
    return MotionConfigurationRecord(bytes);
}

uint16_t MotionConfigurationRecord::speed() const
{
    return byte_order::little16(m_bytes, 1);
}

uint16_t MotionConfigurationRecord::alternateSpeed() const
{
    return isLong() ? byte_order::little16(m_bytes, 3) : speed();
}

bool MotionConfigurationRecord::alternateSpeedEnabled() const
{
    return isLong() && m_bytes[10] != 0;
}

uint32_t MotionConfigurationRecord::acceleration() const
{
    return byte_order::little32(m_bytes, isLong() ? 5 : 3);
}

uint8_t MotionConfigurationRecord::accelerationMode() const
{
    return m_bytes[isLong() ? 9 : 7];
}

} // namespace velmor_firmware
