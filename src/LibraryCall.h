// What every export's frame shares: the per-call driver and the guard at the C boundary.
// Internal to the exports.
#ifndef LIBRARYCALL_H
#define LIBRARYCALL_H

#include "TimerResolution.h"
#include "USBDriver.h"
#include "USBPacketProtocol.h"

#include <cstdint>

// The per-call engine and driver; the driver holds the only reference to the engine, and
// destroying it closes whatever unit is open.
struct CallDriver
{
    USBDriver driver{USBIProtocolPtr(new USBPacketProtocol)};
};

// Nothing thrown may cross the C boundary; a failure the library did not foresee (memory
// exhausted, say) ends the call with the export's own failure code. The call's waits keep their
// lengths while it runs.
template <typename Body>
int32_t guarded(int32_t failureCode, Body body) noexcept
{
    const TimerResolution fineTimer;
    try {
        return body();
    } catch (...) {
        return failureCode;
    }
}

#endif // LIBRARYCALL_H
