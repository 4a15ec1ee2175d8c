// The FT232R's baud rate divisor as the host sends it in the set-baud-rate request: a 14-bit
// integer part in wValue, and a sub-integer part in eighths spread over wValue's top two bits and
// bit 0 of wIndex. The chip's clock for the divisor is 3 MHz; divisors 0 and 1 are the special
// 3 Mbaud and 2 Mbaud settings.
#ifndef VELMOR_USB_BAUDDIVISOR_H
#define VELMOR_USB_BAUDDIVISOR_H

#include <cstdint>

namespace velmor_usb {

class BaudDivisor
{
public:
    BaudDivisor(uint16_t value, uint16_t index);

    uint32_t integerPart() const;
    uint32_t eighths() const;           // the sub-integer part, 0 to 7 eighths
    uint32_t baudRate() const;          // rounded to the nearest baud

    // The request fields of the divisor nearest to `baudRate`.
    static BaudDivisor forBaudRate(uint32_t baudRate);
    uint16_t value() const;
    uint16_t index() const;

private:
    uint16_t m_value;
    uint16_t m_index;
};

} // namespace velmor_usb

#endif
