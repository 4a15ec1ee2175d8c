// One motor-driver unit seen from its own side: the bytes the host sends on its serial command
// interface go in, the bytes it answers come out, on a clock. Plain C++: it knows nothing of
// D2XX, handles or queues; the FTDI front end carries bytes to and from it.
//
// After power-up the unit sits in its bootloader with the motor off. The raw start command 03
// brings the firmware up after the setup's boot time, with the motor on and ready, the counter
// where it was (0 at first) and the step mode of the stored motion configuration (step mode 0,
// 400 whole steps/s, no ramp from the factory). Requests the unit does not know, or that carry a
// payload of the wrong length, are answered with status 1.
#ifndef VELMOR_FIRMWARE_UNIT_H
#define VELMOR_FIRMWARE_UNIT_H

#include "MotorState.h"
#include "RecordKind.h"
#include "UnitFault.h"
#include "UnitSetup.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
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
    enum Hearing {
        Understood,     // a packet, or a lone raw byte between packets
        Garbled,        // bytes sent with the wrong line settings: noise to the unit
        Ignored,        // bytes arriving while the firmware starts, or after the unit left the bus
        Dropped         // the start of a packet whose remaining bytes never came in time
    };

    TimePoint arrival;
    Hearing hearing = Understood;   // every kind but Understood is raw, with all its bytes in `bytes`
    bool raw = false;               // a lone raw byte (the bootloader's start command), not a packet
    uint8_t type = 0;               // 0x05 for a packet
    uint32_t id = 0;
    uint8_t commandCode = 0;
    std::vector<uint8_t> payload;
    std::vector<uint8_t> bytes;     // everything as it came off the wire
};

enum class RunState {
    Bootloader,     // after power-up, until the start command
    Starting,       // the firmware comes up; the unit hears nothing
    Firmware        // the motor-driver firmware runs; the bootloader's requests still work
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
    // A unit taken off the bus by a fault is back on it.
    void powerCycle();
    void powerCycle(TimePoint now);

    // Control and inspection for tests. Times earlier than the latest one the unit has seen count
    // as that one.
    RunState runState(TimePoint now = Clock::now()) const;
    // The firmware runs at once, as if started long ago.
    void startFirmware(TimePoint now = Clock::now());
    MotorState motorState(TimePoint now = Clock::now()) const;
    // Stops a running move.
    void setPosition(int32_t counter, TimePoint now = Clock::now());
    // The counter is left as it is; the stored motion configuration follows a step mode within range.
    void setStepMode(uint8_t stepMode, TimePoint now = Clock::now());
    void setMotorOn(bool on, TimePoint now = Clock::now());
    // The ready byte the motor information reports whatever the motor does (e.g. 4, 5, 6); none:
    // the motor's own.
    void forceReadyByte(std::optional<uint8_t> readyByte);
    // The stored bytes of a record; the motor information with its live fields at `now`.
    std::vector<uint8_t> recordBytes(RecordKind kind, TimePoint now = Clock::now()) const;
    // Replaces a record without the firmware's checks; false (and nothing changed) for a length
    // other than the record's. The motor information sets the counter and step mode from its
    // bytes 4 to 8 and keeps the rest as the template of later replies (its ready byte aside).
    bool setRecordBytes(RecordKind kind, const std::vector<uint8_t> &bytes, TimePoint now = Clock::now());

    // The unit's whole state (setup, run state, records, motor, relay) as text, and back. A move
    // or a firmware start in progress goes on in real time between save and restore, in this
    // process or another: the text carries the time of the save on the steady clock with the
    // boot it counts from, and on the wall clock for a restore after a reboot. Faults and
    // received packets are not part of it. A text that does not parse, or holds a number out of
    // range, leaves the unit as it is and gives false; after a restore, references taken from
    // setup() before it are stale.
    std::string saveState(TimePoint now = Clock::now()) const;
    bool restoreState(const std::string &state, TimePoint now = Clock::now());

private:
    struct Private;
    mutable std::mutex m_mutex;
    std::unique_ptr<Private> m_pPrivate;
};

} // namespace velmor_firmware

#endif
