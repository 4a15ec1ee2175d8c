// Runs the cells of a fault matrix one after another in this process, checks each, prints a
// summary and fails the running test once per failing cell.
//
// Per cell: the export's result code and out-value, the time the call took against its waits
// (600 ms after the start command, 50 ms after opening) plus the fault's time-outs, no handle
// left open, the unit still listed (unless the fault unplugged it), and the handshake state of
// index 1 as the next call finds it. That probe call runs
// with its first D2XX write refused: an index still waiting for its handshake shows it by the
// start byte 03 in that write (and code 26) without the 600 ms wait; an index past it writes
// its request and fails with 9, or stops at 31 when the firmware version it holds is not one
// the unit's hardware accepts.
//
// The library keeps the firmware version of an index from its last handshake that read one, also
// across initialise. The matrix follows it: it starts each run by handshaking a unit whose
// firmware 5.0 hardware 1.2 refuses, and every cell that reads a version replaces it.
#ifndef VELMOR_TESTS_FAULTMATRIX_H
#define VELMOR_TESTS_FAULTMATRIX_H

#include "MatrixCell.h"
#include "MatrixExports.h"

#include <chrono>
#include <string>
#include <vector>

namespace matrix {

class FaultMatrix
{
public:
    explicit FaultMatrix(std::string title);

    // The whole matrix of one test; returns the number of cells that passed.
    size_t run(const std::vector<Cell> &cells);

    static int32_t expectedCode(const Cell &cell);
    static Handshake expectedHandshake(const Cell &cell);
    // The waits the call takes before the fault strikes, in ms.
    static int waitsMs(const Cell &cell);

private:
    struct LibraryState
    {
        bool handshakeDone = false;
        uint16_t cachedMajor = 0;
    };

    struct Probe
    {
        bool startCommandAttempted = false;
        int32_t code = -1;
    };

    void prime();
    // Empty when the index is warm; else why it could not be made so.
    std::string warmUp(const bench::UnitOnBus &unit);
    std::string runCell(const Cell &cell);
    void follow(const Cell &cell);
    Probe probe(const bench::UnitOnBus &unit);
    std::string checkProbe(const bench::UnitOnBus &unit, const Probe &observed);
    static std::string describe(const Cell &cell);

    std::string m_title;
    LibraryState m_state;
};

} // namespace matrix

#endif
