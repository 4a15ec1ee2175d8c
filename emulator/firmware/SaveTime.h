// When a state was saved, in a form another process can measure the time since: the steady
// clock (CLOCK_MONOTONIC, which every process on the machine shares) with the boot it counts
// from, and the wall clock for a state saved before a reboot.
#ifndef VELMOR_FIRMWARE_SAVETIME_H
#define VELMOR_FIRMWARE_SAVETIME_H

#include <cstdint>
#include <string>

namespace velmor_firmware {

class SaveTime
{
public:
    static SaveTime now();

    // The time from this save to `later`, in microseconds, never less than nothing. Within one
    // boot it follows the steady clock; across a reboot (or with the boot unknown) the wall clock.
    int64_t microsecondsUntil(const SaveTime &later) const;

    int64_t wallMicroseconds = 0;
    int64_t steadyMicroseconds = 0;
    std::string bootId;             // empty: unknown
};

} // namespace velmor_firmware

#endif
