// The least time a call can take on the emulated line: the waits the library must make plus,
// for every request and its reply, the time the bytes spend on the wire (11 bits a byte), the
// unit's answer time, the chip's latency timer, and the 2 ms steps at which the host polls.
// Built from the D2XX calls the emulator recorded, so it follows the bytes actually exchanged.
#ifndef VELMOR_BENCH_EXCHANGEFLOOR_H
#define VELMOR_BENCH_EXCHANGEFLOOR_H

#include "VelmorEmulator.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct Exchange
{
    uint64_t requestBytes = 0;
    uint64_t replyBytes = 0;
    // From the first write of the request to the last read of its reply.
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point end;

    double measuredMs() const { return std::chrono::duration<double, std::milli>(end - start).count(); }
};

class ExchangeFloor
{
public:
    // The line as the emulator models it; baud and latency as the library set them.
    struct Line
    {
        uint32_t baudRate = 500000;
        double latencyMs = 2.0;
        double answerMs = 0.2;   // the emulated unit's time from a request to its answer
        double pollMs = 2.0;     // the host's reply poll step
    };

    explicit ExchangeFloor(const Line &line);

    // Requests and replies in call order: each write, then the reads that follow it.
    static std::vector<Exchange> exchangesOf(const std::vector<VelmorEmulator::CallRecord> &calls);

    double wireMs(uint64_t bytes) const;
    // First poll step at which the reply's first byte is queued, or the reply's last byte
    // arriving, whichever is later. A write with no reply costs the host nothing.
    double exchangeMs(const Exchange &exchange) const;
    double floorMs(double waitsMs, const std::vector<Exchange> &exchanges) const;

private:
    Line m_line;
};

#endif
