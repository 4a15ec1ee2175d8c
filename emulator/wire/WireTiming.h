// How long bytes take on the serial line: 11 bits a byte (start, 8 data, parity, stop) at the
// set baud rate. Replies reach the host's queue after that plus the chip's latency timer.
#ifndef VELMOR_EMULATOR_WIRETIMING_H
#define VELMOR_EMULATOR_WIRETIMING_H

#include <chrono>
#include <cstdint>

namespace VelmorEmulator {

inline std::chrono::nanoseconds wireTime(uint64_t byteCount, uint32_t baudRate)
{
    if (baudRate == 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(byteCount * 11u * 1000000000ull / baudRate);
}

} // namespace VelmorEmulator

#endif
