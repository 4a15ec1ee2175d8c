// The unit's bootloader: it starts the motor-driver firmware on the raw start command and answers
// the framed information requests, in its own state and after the firmware has started.
#ifndef VELMOR_FIRMWARE_BOOTLOADER_H
#define VELMOR_FIRMWARE_BOOTLOADER_H

#include "Answer.h"
#include "UnitSetup.h"

#include <cstdint>

namespace velmor_firmware {

class Bootloader
{
public:
    enum Opcode : uint8_t {
        StartFirmware = 0x03,   // written raw, never answered
        ReadPage = 18,
        Information = 20,
        PrepareRead = 21
    };

    explicit Bootloader(const UnitSetup &setup);

    static bool isStartCommand(uint8_t rawByte) { return rawByte == StartFirmware; }
    // The opcodes of the bootloader's command set (2 to 28); only 18, 20 and 21 do anything framed.
    static bool isBootloaderOpcode(uint8_t code) { return code >= 2 && code <= 28; }

    Answer answer(uint8_t opcode) const;

private:
    Answer information() const;
    Answer page() const;

    const UnitSetup &m_setup;
};

} // namespace velmor_firmware

#endif
