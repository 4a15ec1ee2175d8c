// The FT232R's internal EEPROM: 64 words the chip reads its USB identity from (vendor and product
// ids, power, and the manufacturer, product and serial strings stored as ready USB string
// descriptors), guarded by a checksum in the last word. The host reads, writes and erases it a
// word at a time.
#ifndef VELMOR_USB_EEPROM_H
#define VELMOR_USB_EEPROM_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmor_usb {

struct EepromIdentity
{
    uint16_t vendorId = 0x0403;
    uint16_t productId = 0x6001;
    uint16_t deviceRelease = 0x0600;
    uint16_t maxPowerMilliamps = 90;
    bool selfPowered = false;
    std::string manufacturer = "Velmor";
    std::string product = "Velmor Stepper Driver";
    std::string serial;
};

// Which of the three strings a descriptor pointer in the EEPROM names.
enum class EepromString { Manufacturer, Product, Serial };

class Eeprom
{
public:
    static constexpr size_t kWordCount = 64;

    // A programmed image; strings longer than the string area holds are cut.
    explicit Eeprom(const EepromIdentity &identity);

    uint16_t readWord(uint16_t address) const;      // 0xFFFF past the end, as an unfitted word reads
    void writeWord(uint16_t address, uint16_t word);
    void erase();

    // The image as the chip stores it, low byte first.
    std::vector<uint8_t> bytes() const;
    bool checksumValid() const;
    uint16_t vendorId() const;
    uint16_t productId() const;
    uint16_t deviceRelease() const;
    uint8_t configurationAttributes() const;
    uint8_t maxPowerUnits() const;                   // in 2 mA, as the configuration descriptor has it

    // The stored USB string descriptor (length, type 3, UTF-16LE), empty when the pointer does
    // not name one inside the image.
    std::vector<uint8_t> stringDescriptor(EepromString which) const;

    // The checksum over all words but the last: 0xAAAA, then each word xored in and the sum
    // rotated left by one.
    static uint16_t checksumOf(const std::array<uint16_t, kWordCount> &words);

private:
    uint8_t byteAt(size_t offset) const;
    void setByte(size_t offset, uint8_t value);
    void storeChecksum();

    std::array<uint16_t, kWordCount> m_words{};
};

} // namespace velmor_usb

#endif
