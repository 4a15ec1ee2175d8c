// The FT232R's EEPROM image: identity words, stored string descriptors and the checksum.
#include "Eeprom.h"

#include <gtest/gtest.h>

using velmor_usb::Eeprom;
using velmor_usb::EepromIdentity;
using velmor_usb::EepromString;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes descriptorOf(const std::string &text)
{
    Bytes bytes{static_cast<uint8_t>(2 + 2 * text.size()), 0x03};
    for (char c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

EepromIdentity identityWith(const std::string &serial)
{
    EepromIdentity identity;
    identity.serial = serial;
    return identity;
}

TEST(EepromChecksum, StartsAtAAAAAndRotatesEveryWord)
{
    std::array<uint16_t, Eeprom::kWordCount> words{};
    // 0xAAAA rotated left 63 times is 0xAAAA rotated right once.
    EXPECT_EQ(Eeprom::checksumOf(words), 0x5555);
    words[62] = 0x0001;
    EXPECT_EQ(Eeprom::checksumOf(words), 0x5555 ^ 0x0002);
    words[63] = 0x1234;     // the checksum word itself is not summed
    EXPECT_EQ(Eeprom::checksumOf(words), 0x5555 ^ 0x0002);
}

TEST(Eeprom, HoldsTheIdentityTheChipEnumeratesWith)
{
    const Eeprom eeprom(identityWith("JXah00102"));
    EXPECT_TRUE(eeprom.checksumValid());
    EXPECT_EQ(eeprom.readWord(1), 0x0403);
    EXPECT_EQ(eeprom.readWord(2), 0x6001);
    EXPECT_EQ(eeprom.readWord(3), 0x0600);
    EXPECT_EQ(eeprom.configurationAttributes(), 0xA0);
    EXPECT_EQ(eeprom.maxPowerUnits(), 45);
    EXPECT_EQ(eeprom.stringDescriptor(EepromString::Manufacturer), descriptorOf("Velmor"));
    EXPECT_EQ(eeprom.stringDescriptor(EepromString::Product), descriptorOf("Velmor Stepper Driver"));
    EXPECT_EQ(eeprom.stringDescriptor(EepromString::Serial), descriptorOf("JXah00102"));
    // The pointers as the chip stores them: bit 7 set, the strings one after another from 0x18.
    const Bytes image = eeprom.bytes();
    EXPECT_EQ(Bytes(image.begin() + 0x0E, image.begin() + 0x14), (Bytes{0x98, 14, 0xA6, 44, 0xD2, 20}));
    EXPECT_EQ(Bytes(image.begin() + 0xD2 - 0x80, image.begin() + 0xD2 - 0x80 + 20), descriptorOf("JXah00102"));
}

TEST(Eeprom, CutsStringsThatDoNotFitBeforeTheChecksum)
{
    EepromIdentity identity = identityWith(std::string(60, 'S'));
    identity.product = std::string(60, 'P');
    const Eeprom eeprom(identity);
    EXPECT_TRUE(eeprom.checksumValid());
    EXPECT_EQ(eeprom.stringDescriptor(EepromString::Manufacturer), descriptorOf("Velmor"));
    const Bytes product = eeprom.stringDescriptor(EepromString::Product);
    const Bytes serial = eeprom.stringDescriptor(EepromString::Serial);
    ASSERT_FALSE(product.empty());
    EXPECT_LE(0x18 + 14 + product.size() + serial.size(), 0x7Eu);
    EXPECT_EQ(product, descriptorOf(std::string((product.size() - 2) / 2, 'P')));
}

TEST(Eeprom, WordWritesAndEraseReachTheChecksumAndTheStrings)
{
    Eeprom eeprom(identityWith("JXah00102"));
    const uint16_t serialWord = 0xD2 / 2 - 0x40 + 1;     // "J" of the serial
    eeprom.writeWord(serialWord, 'K');
    EXPECT_FALSE(eeprom.checksumValid());
    EXPECT_EQ(eeprom.stringDescriptor(EepromString::Serial), descriptorOf("KXah00102"));
    std::array<uint16_t, Eeprom::kWordCount> words{};
    for (uint16_t address = 0; address < Eeprom::kWordCount; ++address)
        words[address] = eeprom.readWord(address);
    eeprom.writeWord(63, Eeprom::checksumOf(words));
    EXPECT_TRUE(eeprom.checksumValid());

    eeprom.writeWord(64, 0x1234);       // past the end: nothing to write
    EXPECT_EQ(eeprom.readWord(64), 0xFFFF);

    eeprom.erase();
    for (uint16_t address = 0; address < Eeprom::kWordCount; ++address)
        EXPECT_EQ(eeprom.readWord(address), 0xFFFF);
    EXPECT_FALSE(eeprom.checksumValid());
    EXPECT_TRUE(eeprom.stringDescriptor(EepromString::Serial).empty());
}

} // namespace
