// What a unit's hardware and firmware versions make of it: which motor-driver actions it knows,
// how long its records are, and the limits it holds written values to.
#ifndef VELMOR_FIRMWARE_UNITMODEL_H
#define VELMOR_FIRMWARE_UNITMODEL_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmor_firmware {

class UnitModel
{
public:
    // The hardware version comes from the USB serial number: "JX", flow control letter, model
    // letter, three digits of major and two of minor version.
    UnitModel(const std::string &usbSerial, uint16_t firmwareMajor, uint16_t firmwareMinor);

    uint32_t hardwareMajor() const { return m_hardwareMajor; }
    uint32_t hardwareMinor() const { return m_hardwareMinor; }
    // 1.1, 1.2, 10.1 or 27.1; any other unit has a bootloader but no motor-driver command set.
    bool isKnownHardware() const;
    bool rtsCts() const { return m_rtsCts; }

    // Actions 0 to 28: codes 0x20 + action for 0 to 20, 0x40 + (action - 21) for 21 to 28.
    static int actionOfCode(uint8_t code);
    bool supportsAction(int action) const;

    size_t motionConfigurationLength() const;
    size_t motorConfigurationLength() const;
    size_t inputConfigurationLength() const;
    size_t pwmSettingsLength() const;
    size_t readLength(int action) const;      // reply data of the read actions 21 to 28
    int inputChannelCount() const;

    // Step modes run from 0 (finest) to fullStepMode() (whole steps): 1/16 .. 1, or 1/128 .. 1
    // on hardware 27.1.
    uint8_t fullStepMode() const;
    uint32_t maximumStepRate() const;         // micro-steps per second
    uint16_t maximumCurrent() const;          // mA
    static constexpr uint16_t s_minimumCurrent = 50;

    bool is(uint32_t major, uint32_t minor) const { return m_hardwareMajor == major && m_hardwareMinor == minor; }

private:
    bool firmwareAtLeast(uint16_t major, uint16_t minor) const;

    uint32_t m_hardwareMajor = 0;
    uint32_t m_hardwareMinor = 0;
    bool m_rtsCts = false;
    uint16_t m_firmwareMajor = 0;
    uint16_t m_firmwareMinor = 0;
};

} // namespace velmor_firmware

#endif
