// One cell of a fault matrix: an export run against a unit or a D2XX call that misbehaves, and
// how far the call gets before the fault stops it. The expected result code, the handshake state
// the next call sees and the time the call may take all follow from that (FaultMatrix).
#ifndef VELMOR_TESTS_MATRIXCELL_H
#define VELMOR_TESTS_MATRIXCELL_H

#include "Bench.h"

#include <functional>
#include <string>

namespace matrix {

struct ExportUnderTest;

enum class Phase {
    FirstUse,   // right after initialise: the call runs the index's handshake
    Warm        // the handshake of the index is done
};

// The step of the call that the fault breaks, in the order a call takes them.
enum class Stage {
    Listing,            // the bus cannot be listed: no unit has an index
    Opening,            // the unit's interface does not open
    StartCommand,       // the bootloader's start command cannot be written
    Information,        // the handshake cannot read the unit's information
    InvalidInformation, // the information page read back is not a valid one
    FirstRequest,       // the call's first request to the unit fails
    SecondRequest,      // its second request fails; a call with one request succeeds
    Untouched           // the fault does not change the outcome
};

// The index's handshake state after the call, as the next call on it finds it.
enum class Handshake {
    Pending,        // the next call starts the unit again
    StartedOnly,    // the start command passed but no firmware version was read
    Done            // the next call skips the handshake
};

struct Cell
{
    const ExportUnderTest *target = nullptr;
    std::string fault;
    std::string exchange;
    Phase phase = Phase::Warm;
    Stage stage = Stage::Untouched;
    // Time-outs and delays the fault adds to the call's own waits.
    int minExtraMs = 0;
    int maxExtraMs = 0;
    std::function<void()> inject;
    bool unitLeaves = false;   // the fault takes the unit off the bus
    bench::UnitOnBus unit = bench::ft232r("JXah00102", 2, 1);
};

const char *nameOf(Phase phase);
const char *nameOf(Stage stage);
const char *nameOf(Handshake handshake);

} // namespace matrix

#endif
