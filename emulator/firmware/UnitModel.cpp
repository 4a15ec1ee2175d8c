#include "UnitModel.h"

#include <cctype>

namespace velmor_firmware {

namespace {

uint32_t digitsAt(const std::string &text, size_t offset, size_t count)
{
    uint32_t value = 0;
    for (size_t i = offset; i < offset + count; ++i) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
            return 0;
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return value;
}

} // namespace

UnitModel::UnitModel(const std::string &usbSerial, uint16_t firmwareMajor, uint16_t firmwareMinor)
    : m_hardwareMajor(digitsAt(usbSerial, 4, 3))
    , m_hardwareMinor(digitsAt(usbSerial, 7, 2))
    , m_rtsCts(usbSerial.size() > 2 && std::tolower(static_cast<unsigned char>(usbSerial[2])) == 'b')
    , m_firmwareMajor(firmwareMajor)
    , m_firmwareMinor(firmwareMinor)
{
}

bool UnitModel::isKnownHardware() const
{
    return is(1, 1) || is(1, 2) || is(10, 1) || is(27, 1);
}

int UnitModel::actionOfCode(uint8_t code)
{
    if (code >= 0x20 && code <= 0x34)
        return code - 0x20;
    if (code >= 0x40 && code <= 0x47)
        return code - 0x40 + 21;
    return -1;
}

bool UnitModel::supportsAction(int action) const
{
    if (!isKnownHardware() || action < 0 || action > 28)
        return false;
    if (action == 12 || action == 13)
        return is(1, 1) || is(1, 2);
    if (action == 19 || action == 20)
        return !is(1, 1);
    if (action == 28)
        return is(10, 1) || is(27, 1);
    return true;
}

size_t UnitModel::motionConfigurationLength() const
{
    return is(1, 1) ? 8 : 11;
}

size_t UnitModel::motorConfigurationLength() const
{
    if (is(1, 2))
        return firmwareAtLeast(2, 1) ? 11 : 10;
    return is(1, 1) ? 10 : 11;
}

size_t UnitModel::inputConfigurationLength() const
{
    if (is(27, 1))
        return 25;
    if (is(1, 2))
        return firmwareAtLeast(3, 0) ? 19 : 18;
    return is(1, 1) ? 18 : 19;
}

size_t UnitModel::pwmSettingsLength() const
{
    return (is(1, 2) && m_firmwareMajor >= 4) || is(27, 1) ? 2 : 1;
}

size_t UnitModel::readLength(int action) const
{
    switch (action) {
    case 21: return is(10, 1) ? 9 : 10;
    case 22: return 14;
    case 23: return motionConfigurationLength();
    case 24: return motorConfigurationLength();
    case 25: return inputConfigurationLength();
    case 26: return 6;
    case 27: return 11;
    case 28: return is(27, 1) ? 2 : is(10, 1) ? 1 : 0;
    default: return 0;
    }
}

int UnitModel::inputChannelCount() const
{
    return is(27, 1) ? 8 : 4;
}

uint8_t UnitModel::fullStepMode() const
{
    return is(27, 1) ? 7 : 4;
}

uint32_t UnitModel::maximumStepRate() const
{
    return is(27, 1) ? 100000 : 20000;
}

uint16_t UnitModel::maximumCurrent() const
{
    if (is(1, 1) || is(1, 2))
        return 8000;
    return is(27, 1) ? 2000 : 500;
}

bool UnitModel::firmwareAtLeast(uint16_t major, uint16_t minor) const
{
    return m_firmwareMajor > major || (m_firmwareMajor == major && m_firmwareMinor >= minor);
}

} // namespace velmor_firmware
