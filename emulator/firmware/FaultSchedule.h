// The faults set on a unit and how often each has struck: for every request the first fault whose
// command code matches, past its skip count and within its times, applies.
#ifndef VELMOR_FIRMWARE_FAULTSCHEDULE_H
#define VELMOR_FIRMWARE_FAULTSCHEDULE_H

#include "UnitFault.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velmor_firmware {

class FaultSchedule
{
public:
    void add(const UnitFault &fault);
    void clear();
    // The fault that applies to a request with this command code (or raw byte), counted as used.
    // A fault still skipping counts the request and lets the later faults look at it.
    std::optional<UnitFault> take(uint8_t commandCode);

private:
    struct Entry
    {
        UnitFault fault;
        int skipped = 0;
        int applied = 0;
    };

    std::vector<Entry> m_entries;
};

} // namespace velmor_firmware

#endif
