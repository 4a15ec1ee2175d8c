#include "BaudDivisor.h"

namespace velmor_usb {

namespace {

constexpr uint32_t kDivisorClock = 3000000;
constexpr uint16_t kIntegerMask = 0x3FFF;

// The 3-bit code of the sub-integer part, in eighths: 0, 1/2, 1/4, 1/8, 3/8, 5/8, 3/4, 7/8.
constexpr uint32_t kEighthsOfCode[8] = {0, 4, 2, 1, 3, 5, 6, 7};

uint32_t codeOfEighths(uint32_t eighths)
{
    for (uint32_t code = 0; code < 8; ++code) {
        if (kEighthsOfCode[code] == eighths)
            return code;
    }
    return 0;
}

} // namespace

BaudDivisor::BaudDivisor(uint16_t value, uint16_t index)
    : m_value(value)
    , m_index(index)
{
}

uint32_t BaudDivisor::integerPart() const
{
    return m_value & kIntegerMask;
}

uint32_t BaudDivisor::eighths() const
{
    const uint32_t code = (m_value >> 14) | ((m_index & 1u) << 2);
    return kEighthsOfCode[code];
}

uint32_t BaudDivisor::baudRate() const
{
    const uint32_t whole = integerPart();
    const uint32_t eighthsPart = eighths();
    if (whole == 0 && eighthsPart == 0)
        return kDivisorClock;
    if (whole == 1 && eighthsPart == 0)
        return 2000000;
    const uint64_t divisorInEighths = uint64_t(whole) * 8 + eighthsPart;
    return static_cast<uint32_t>((uint64_t(kDivisorClock) * 8 + divisorInEighths / 2) / divisorInEighths);
}

BaudDivisor BaudDivisor::forBaudRate(uint32_t baudRate)
{
    if (baudRate >= kDivisorClock)
        return BaudDivisor(0, 0);
    if (baudRate >= 2000000)
        return BaudDivisor(1, 0);
    const uint64_t rate = baudRate == 0 ? 1 : baudRate;
    uint64_t divisorInEighths = (uint64_t(kDivisorClock) * 8 + rate / 2) / rate;
    if (divisorInEighths > uint64_t(kIntegerMask) * 8 + 7)
        divisorInEighths = uint64_t(kIntegerMask) * 8 + 7;
    const uint32_t code = codeOfEighths(static_cast<uint32_t>(divisorInEighths % 8));
    const uint16_t value = static_cast<uint16_t>((divisorInEighths / 8) | ((code & 3u) << 14));
    return BaudDivisor(value, static_cast<uint16_t>(code >> 2));
}

uint16_t BaudDivisor::value() const
{
    return m_value;
}

uint16_t BaudDivisor::index() const
{
    return m_index;
}

} // namespace velmor_usb
