#include "Eeprom.h"

#include <algorithm>

namespace velmor_usb {

namespace {

constexpr size_t kByteCount = Eeprom::kWordCount * 2;
constexpr size_t kChecksumWord = Eeprom::kWordCount - 1;

// Byte offsets in the image.
constexpr size_t kVendorId = 0x02;
constexpr size_t kProductId = 0x04;
constexpr size_t kDeviceRelease = 0x06;
constexpr size_t kAttributes = 0x08;
constexpr size_t kMaxPower = 0x09;
constexpr size_t kChipOptions = 0x0A;
constexpr size_t kUsbVersion = 0x0C;
constexpr size_t kStringPointers = 0x0E;     // offset and length of each string, in order
constexpr size_t kStringArea = 0x18;
constexpr size_t kStringAreaEnd = kChecksumWord * 2;

constexpr uint8_t kBusPoweredAttributes = 0x80;
constexpr uint8_t kSelfPowered = 0x40;
constexpr uint8_t kRemoteWakeup = 0x20;
constexpr uint8_t kSerialNumberEnabled = 0x08;
// The chip stores each string pointer with bit 7 set; the offset is the rest.
constexpr uint8_t kPointerFlag = 0x80;
constexpr uint8_t kStringDescriptorType = 0x03;

// Empty when not even the descriptor's header fits in `room`.
std::vector<uint8_t> descriptorOf(const std::string &text, size_t room)
{
    if (room < 2)
        return {};
    const size_t characters = std::min(text.size(), (room - 2) / 2);
    std::vector<uint8_t> descriptor{static_cast<uint8_t>(2 + 2 * characters), kStringDescriptorType};
    for (size_t i = 0; i < characters; ++i) {
        descriptor.push_back(static_cast<uint8_t>(text[i]));
        descriptor.push_back(0);
    }
    return descriptor;
}

} // namespace

Eeprom::Eeprom(const EepromIdentity &identity)
{
    setByte(kVendorId, identity.vendorId & 0xFF);
    setByte(kVendorId + 1, identity.vendorId >> 8);
    setByte(kProductId, identity.productId & 0xFF);
    setByte(kProductId + 1, identity.productId >> 8);
    setByte(kDeviceRelease, identity.deviceRelease & 0xFF);
    setByte(kDeviceRelease + 1, identity.deviceRelease >> 8);
    setByte(kAttributes, kBusPoweredAttributes | kRemoteWakeup | (identity.selfPowered ? kSelfPowered : 0));
    setByte(kMaxPower, static_cast<uint8_t>(std::min<uint16_t>(identity.maxPowerMilliamps, 500) / 2));
    setByte(kChipOptions, kSerialNumberEnabled);
    setByte(kUsbVersion, 0x00);
    setByte(kUsbVersion + 1, 0x02);

    size_t offset = kStringArea;
    const std::string *texts[] = {&identity.manufacturer, &identity.product, &identity.serial};
    for (size_t i = 0; i < 3; ++i) {
        const std::vector<uint8_t> descriptor = descriptorOf(*texts[i], kStringAreaEnd - offset);
        setByte(kStringPointers + 2 * i, static_cast<uint8_t>(offset | kPointerFlag));
        setByte(kStringPointers + 2 * i + 1, static_cast<uint8_t>(descriptor.size()));
        for (uint8_t byte : descriptor)
            setByte(offset++, byte);
    }
    storeChecksum();
}

uint16_t Eeprom::readWord(uint16_t address) const
{
    return address < kWordCount ? m_words[address] : 0xFFFF;
}

void Eeprom::writeWord(uint16_t address, uint16_t word)
{
    if (address < kWordCount)
        m_words[address] = word;
}

void Eeprom::erase()
{
    m_words.fill(0xFFFF);
}

std::vector<uint8_t> Eeprom::bytes() const
{
    std::vector<uint8_t> image;
    for (size_t offset = 0; offset < kByteCount; ++offset)
        image.push_back(byteAt(offset));
    return image;
}

bool Eeprom::checksumValid() const
{
    return m_words[kChecksumWord] == checksumOf(m_words);
}

uint16_t Eeprom::vendorId() const
{
    return m_words[kVendorId / 2];
}

uint16_t Eeprom::productId() const
{
    return m_words[kProductId / 2];
}

uint16_t Eeprom::deviceRelease() const
{
    return m_words[kDeviceRelease / 2];
}

uint8_t Eeprom::configurationAttributes() const
{
    return byteAt(kAttributes);
}

uint8_t Eeprom::maxPowerUnits() const
{
    return byteAt(kMaxPower);
}

std::vector<uint8_t> Eeprom::stringDescriptor(EepromString which) const
{
    const size_t pointer = kStringPointers + 2 * static_cast<size_t>(which);
    const size_t offset = byteAt(pointer) & static_cast<uint8_t>(~kPointerFlag);
    const size_t length = byteAt(pointer + 1);
    if (length < 2 || offset < kStringArea || offset + length > kStringAreaEnd || byteAt(offset) != length
        || byteAt(offset + 1) != kStringDescriptorType)
        return {};
    std::vector<uint8_t> descriptor;
    for (size_t i = 0; i < length; ++i)
        descriptor.push_back(byteAt(offset + i));
    return descriptor;
}

uint16_t Eeprom::checksumOf(const std::array<uint16_t, kWordCount> &words)
{
    uint16_t checksum = 0xAAAA;
    for (size_t i = 0; i < kChecksumWord; ++i) {
        checksum ^= words[i];
        checksum = static_cast<uint16_t>((checksum << 1) | (checksum >> 15));
    }
    return checksum;
}

uint8_t Eeprom::byteAt(size_t offset) const
{
    const uint16_t word = m_words[offset / 2];
    return static_cast<uint8_t>(offset % 2 == 0 ? word & 0xFF : word >> 8);
}

void Eeprom::setByte(size_t offset, uint8_t value)
{
    uint16_t &word = m_words[offset / 2];
    word = offset % 2 == 0 ? static_cast<uint16_t>((word & 0xFF00) | value)
                           : static_cast<uint16_t>((word & 0x00FF) | (value << 8));
}

void Eeprom::storeChecksum()
{
    m_words[kChecksumWord] = checksumOf(m_words);
}

} // namespace velmor_usb
