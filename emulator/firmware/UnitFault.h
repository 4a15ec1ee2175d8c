// A scripted misbehaviour of a unit: how it answers (or does not answer) matching requests.
#ifndef VELMOR_FIRMWARE_UNITFAULT_H
#define VELMOR_FIRMWARE_UNITFAULT_H

#include <cstdint>
#include <vector>

namespace velmor_firmware {

struct UnitFault
{
    enum Kind {
        Reply,          // answer with `status` and `data` instead of the normal answer
        Silence,        // no answer at all
        Late,           // the normal answer, `delayMs` later
        WrongId,        // the normal answer under request id + 1
        WrongLength,    // the normal answer with `lengthDelta` bytes more (or fewer) data
        CorruptType,    // the normal answer with its first byte replaced by `typeByte`
        CutOff,         // only the first `cutAfter` bytes of the normal answer
        Type07,         // a type-0x07 packet carrying `data` instead of the normal answer
        Unsolicited,    // the normal answer, preceded by an unsolicited packet of id `unsolicitedId` carrying `data`
        Unplug,         // the unit leaves the bus as the request arrives
        StreamFirst     // the normal answer, preceded by a type-0x07 packet carrying `data`
    };

    Kind kind = Silence;
    int commandCode = -1;       // the command byte of the request packet (or raw byte); -1 matches any
    int skip = 0;               // matching requests to let pass first
    int times = 1;              // matching requests it applies to after that; -1 for every one

    uint8_t status = 0;
    std::vector<uint8_t> data;
    uint32_t delayMs = 0;
    int lengthDelta = -1;
    uint8_t typeByte = 0x06;
    int cutAfter = 4;
    uint32_t unsolicitedId = 0;
};

} // namespace velmor_firmware

#endif
