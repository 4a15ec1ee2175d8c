// How a unit is built: what its chip's EEPROM says of it and what its bootloader and firmware hold.
#ifndef VELMOR_FIRMWARE_UNITSETUP_H
#define VELMOR_FIRMWARE_UNITSETUP_H

#include <cstdint>
#include <string>
#include <vector>

namespace velmor_firmware {

// One entry of a format-2 information page.
struct InformationEntry
{
    std::string label;          // up to 16 characters
    uint16_t numbers[4] = {0, 0, 0, 0};
};

struct UnitSetup
{
    // The USB serial number in the chip's EEPROM, "JX" + flow control ('a' none, 'b' RTS/CTS) +
    // model ('h' or 'p') + three digits of major and two of minor hardware version
    // [+ four digits of unit number]: "JXah00102" is hardware 1.2. The unit expects its line set
    // up accordingly.
    std::string usbSerial = "JXah00102";

    // Firmware, as the bootloader's information page names it.
    uint16_t firmwareMajor = 2;
    uint16_t firmwareMinor = 1;

    // The information page.
    int pageFormat = 2;                 // 1 or 2; anything else makes the page unreadable
    std::string storedSerial;           // empty: the usbSerial
    std::string name = "Velmor stepper driver";
    uint16_t pageSize = 128;            // at least 100
    uint16_t numbers[6] = {1, 2, 3, 4, 5, 6};  // numberA to numberF
    std::vector<InformationEntry> entries;

    // The bootloader's answer to command 10: 2 bytes (page size), or 4 bytes FF, page size, flags.
    bool longInformationReply = false;
    uint8_t informationFlagBit = 0;

    // Time the firmware takes to come up after the start command; it hears nothing meanwhile.
    uint32_t bootMilliseconds = 200;
};

} // namespace velmor_firmware

#endif
