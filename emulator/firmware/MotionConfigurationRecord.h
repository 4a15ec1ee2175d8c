// The motion configuration as stored bytes, little-endian. Short form (8 bytes): step exponent,
// speed (2), acceleration (4), acceleration mode. Long form (11 bytes): step exponent, speed (2),
// alternate speed (2), acceleration (4), acceleration mode, alternate speed in use.
// The step exponent m makes 2^m micro-steps of a whole step: m = 0 runs whole steps.
#ifndef VELMOR_FIRMWARE_MOTIONCONFIGURATIONRECORD_H
#define VELMOR_FIRMWARE_MOTIONCONFIGURATIONRECORD_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmor_firmware {

class MotionConfigurationRecord
{
public:
    static constexpr size_t s_shortLength = 8;
    static constexpr size_t s_longLength = 11;
    static constexpr uint16_t s_defaultSpeed = 400;           // full steps/s
    static constexpr uint32_t s_defaultAcceleration = 10000;  // tenths of a step/s²

    // `bytes` holds 8 or 11 bytes.
    explicit MotionConfigurationRecord(std::vector<uint8_t> bytes);
    static MotionConfigurationRecord defaults(size_t length, uint8_t stepExponent);

    const std::vector<uint8_t> &bytes() const { return m_bytes; }
    bool isLong() const { return m_bytes.size() == s_longLength; }

    uint8_t stepExponent() const { return m_bytes[0]; }
    void setStepExponent(uint8_t exponent) { m_bytes[0] = exponent; }
    uint16_t speed() const;
    uint16_t alternateSpeed() const;
    bool alternateSpeedEnabled() const;
    uint32_t acceleration() const;          // tenths of a step/s²
    uint8_t accelerationMode() const;       // 1: ramped
    bool isRamped() const { return accelerationMode() == 1; }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace velmor_firmware

#endif
