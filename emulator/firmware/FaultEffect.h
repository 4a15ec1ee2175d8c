// What a fault does to one request: whether the unit still carries it out, and the bytes it sends
// in place of its normal answer.
#ifndef VELMOR_FIRMWARE_FAULTEFFECT_H
#define VELMOR_FIRMWARE_FAULTEFFECT_H

#include "Answer.h"
#include "UnitFault.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmor_firmware {

class FaultEffect
{
public:
    // Silence, Reply and Unplug take the request away before the unit acts on it; every other
    // fault only changes the answer of a request that was carried out.
    static bool letsRequestRun(const UnitFault &fault);
    // `normal` is empty for a raw command byte, which has no answer of its own: then a Reply
    // answers under id 0, a Type07, Unsolicited or StreamFirst packet is sent alone, and the other faults
    // send nothing.
    static std::vector<uint8_t> reshape(const UnitFault &fault, uint32_t id, const std::optional<Answer> &normal);
    static std::chrono::milliseconds delay(const UnitFault &fault);

private:
    static std::vector<uint8_t> normalBytes(uint32_t id, const std::optional<Answer> &normal);
    static std::vector<uint8_t> withWrongLength(const UnitFault &fault, uint32_t id, Answer answer);
};

} // namespace velmor_firmware

#endif
