// The FT232R's standard descriptors, byte for byte.
#include "Descriptors.h"

#include <gtest/gtest.h>

using velmor_usb::Descriptors;
using velmor_usb::Eeprom;
using velmor_usb::EepromIdentity;

namespace {

using Bytes = std::vector<uint8_t>;

Eeprom eepromWithSerial(const std::string &serial)
{
    EepromIdentity identity;
    identity.serial = serial;
    return Eeprom(identity);
}

TEST(Descriptors, DeviceAndConfigurationOfAnFt232r)
{
    const Eeprom eeprom = eepromWithSerial("JXah00102");
    EXPECT_EQ(Descriptors::device(eeprom),
              (Bytes{18, 1, 0x00, 0x02, 0, 0, 0, 8, 0x03, 0x04, 0x01, 0x60, 0x00, 0x06, 1, 2, 3, 1}));
    EXPECT_EQ(Descriptors::configuration(eeprom),
              (Bytes{9, 2, 32, 0, 1, 1, 0, 0xA0, 45,
                     9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2,
                     7, 5, 0x81, 2, 64, 0, 0,
                     7, 5, 0x02, 2, 64, 0, 0}));
    // Without a serial string the device names none.
    EXPECT_EQ(Descriptors::device(eepromWithSerial(""))[16], 0);
}

TEST(Descriptors, GetDescriptorRequestsByTypeAndIndex)
{
    const Eeprom eeprom = eepromWithSerial("JXah00102");
    struct Case { uint16_t value; Bytes expectedStart; size_t size; };
    const Case cases[] = {
        {0x0100, {18, 1}, 18},
        {0x0200, {9, 2}, 32},
        {0x0300, {4, 3, 0x09, 0x04}, 4},
        {0x0301, {14, 3, 'V', 0}, 14},
        {0x0302, {44, 3, 'V', 0}, 44},
        {0x0303, {20, 3, 'J', 0, 'X', 0}, 20},
        {0x0304, {}, 0},
        {0x0600, {}, 0},    // no device qualifier: a full-speed device
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        const Bytes descriptor = Descriptors::forRequest(eeprom, c.value);
        ASSERT_EQ(descriptor.size(), c.size);
        EXPECT_EQ(Bytes(descriptor.begin(), descriptor.begin() + static_cast<long>(c.expectedStart.size())), c.expectedStart);
    }
}

} // namespace
