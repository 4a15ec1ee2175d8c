// One motor-driver unit seen from its own side: the bytes the host sends on its serial command
// interface go in, the bytes it answers come out, on a clock. Plain C++: it knows nothing of
// D2XX, handles or queues; the FTDI front end carries bytes to and from it.
#ifndef VELMOR_FIRMWARE_UNIT_H
#define VELMOR_FIRMWARE_UNIT_H

#include "UnitFault.h"
#include "UnitSetup.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmor_firmware {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// Bytes the unit starts sending at `sendTime` (the front end adds the wire time).
struct Transmission
{
    TimePoint sendTime;
    std::vector<uint8_t> bytes;
};

// How the host has set up the unit's serial line.
struct SerialLine
{
    uint32_t baudRate = 0;
    uint8_t dataBits = 0;
    uint8_t stopBits = 0;   // D2XX numbering: 0 is one stop bit
    uint8_t parity = 0;     // D2XX numbering: 2 is even
    bool rtsCts = false;
};

// A request packet as the unit received it.
struct ReceivedPacket
{
    TimePoint arrival;
    bool raw = false;               // a lone raw byte (the bootloader's start command), not a packet
    uint8_t type = 0;               // 0x05 for a packet
    uint32_t id = 0;
    uint8_t commandCode = 0;
    std::vector<uint8_t> payload;
    std::vector<uint8_t> bytes;     // everything as it came off the wire
};

class Unit
{
public:
    explicit Unit(const UnitSetup &setup);
    ~Unit();
    Unit(const Unit &) = delete;
    Unit &operator=(const Unit &) = delete;

    const UnitSetup &setup() const;

    // The line settings under which the unit understands the host; bytes sent any other way
    // are garbage to it.
    SerialLine expectedLine() const;

    // Host bytes as they arrive at the unit at `arrival`, sent with `line`. Returns what the
    // unit sends back because of them (possibly later, for a delayed answer).
    std::vector<Transmission> receive(const uint8_t *bytes, size_t count, TimePoint arrival, const SerialLine &line);

    // Set by a fault of kind Unplug: the front end takes the unit off the bus.
    bool unplugged() const;

    // Faults are tried in the order added; the first that matches a request applies.
    void addFault(const UnitFault &fault);
    void clearFaults();

    // Everything the unit has received, in order.
    std::vector<ReceivedPacket> receivedPackets() const;
    void clearReceivedPackets();

    // Power cycle: back into the bootloader, motor off, position kept in the records as they are.
    void powerCycle();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace velmor_firmware

#endif
