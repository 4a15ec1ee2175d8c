#include "Descriptors.h"

namespace velmor_usb {

namespace {

constexpr uint8_t kDeviceType = 0x01;
constexpr uint8_t kConfigurationType = 0x02;
constexpr uint8_t kStringType = 0x03;
constexpr uint8_t kInterfaceType = 0x04;
constexpr uint8_t kEndpointType = 0x05;
constexpr uint8_t kBulk = 0x02;
constexpr uint8_t kVendorSpecific = 0xFF;
// The chip's control endpoint takes packets of 8 bytes.
constexpr uint8_t kControlPacketSize = 8;

uint8_t low(uint16_t word)
{
    return static_cast<uint8_t>(word & 0xFF);
}

uint8_t high(uint16_t word)
{
    return static_cast<uint8_t>(word >> 8);
}

std::vector<uint8_t> endpoint(uint8_t address)
{
    return {7, kEndpointType, address, kBulk, low(Descriptors::kMaxPacketSize), high(Descriptors::kMaxPacketSize), 0};
}

} // namespace

std::vector<uint8_t> Descriptors::device(const Eeprom &eeprom)
{
    const uint8_t serialIndex = eeprom.stringDescriptor(EepromString::Serial).size() > 2 ? 3 : 0;
    return {18, kDeviceType, 0x00, 0x02, 0x00, 0x00, 0x00, kControlPacketSize,
            low(eeprom.vendorId()), high(eeprom.vendorId()), low(eeprom.productId()), high(eeprom.productId()),
            low(eeprom.deviceRelease()), high(eeprom.deviceRelease()), 1, 2, serialIndex, 1};
}

std::vector<uint8_t> Descriptors::configuration(const Eeprom &eeprom)
{
    std::vector<uint8_t> descriptor{9, kConfigurationType, 0, 0, 1, 1, 0, eeprom.configurationAttributes(),
                                    eeprom.maxPowerUnits()};
    const std::vector<uint8_t> interface{9, kInterfaceType, 0, 0, 2, kVendorSpecific, kVendorSpecific, kVendorSpecific, 2};
    descriptor.insert(descriptor.end(), interface.begin(), interface.end());
    for (uint8_t address : {kInEndpoint, kOutEndpoint}) {
        const std::vector<uint8_t> bytes = endpoint(address);
        descriptor.insert(descriptor.end(), bytes.begin(), bytes.end());
    }
    descriptor[2] = low(static_cast<uint16_t>(descriptor.size()));
    descriptor[3] = high(static_cast<uint16_t>(descriptor.size()));
    return descriptor;
}

std::vector<uint8_t> Descriptors::string(const Eeprom &eeprom, uint8_t index)
{
    switch (index) {
    case 0: return {4, kStringType, 0x09, 0x04};
    case 1: return eeprom.stringDescriptor(EepromString::Manufacturer);
    case 2: return eeprom.stringDescriptor(EepromString::Product);
    case 3: return eeprom.stringDescriptor(EepromString::Serial);
    default: return {};
    }
}

std::vector<uint8_t> Descriptors::forRequest(const Eeprom &eeprom, uint16_t value)
{
    switch (high(value)) {
    case kDeviceType: return device(eeprom);
    case kConfigurationType: return configuration(eeprom);
    case kStringType: return string(eeprom, low(value));
    default: return {};
    }
}

} // namespace velmor_usb
