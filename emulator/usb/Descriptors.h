// The FT232R's standard USB descriptors, made from its EEPROM as the chip makes them at power-up:
// one configuration with one vendor-specific interface and two full-speed bulk endpoints of 64
// bytes (IN 0x81, OUT 0x02), and strings 1 to 3 (manufacturer, product, serial).
#ifndef VELMOR_USB_DESCRIPTORS_H
#define VELMOR_USB_DESCRIPTORS_H

#include "Eeprom.h"

#include <cstdint>
#include <vector>

namespace velmor_usb {

class Descriptors
{
public:
    static constexpr uint8_t kInEndpoint = 0x81;
    static constexpr uint8_t kOutEndpoint = 0x02;
    static constexpr uint16_t kMaxPacketSize = 64;

    static std::vector<uint8_t> device(const Eeprom &eeprom);
    static std::vector<uint8_t> configuration(const Eeprom &eeprom);
    // String 0 is the language list (US English); an index the device has no string for gives
    // an empty result, which the chip answers with a stall.
    static std::vector<uint8_t> string(const Eeprom &eeprom, uint8_t index);
    // The descriptor a GET_DESCRIPTOR request's wValue names (type in the high byte).
    static std::vector<uint8_t> forRequest(const Eeprom &eeprom, uint16_t value);
};

} // namespace velmor_usb

#endif
