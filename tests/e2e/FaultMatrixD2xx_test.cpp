// The fault matrix of the D2XX calls: each call a motor call makes answers a failure status, on
// the first use of an index (its handshake pending) and warm, through the representative exports.
#include "FaultMatrix.h"
#include "VelmorLib.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace matrix;

// D2XX status numbers.
enum Status : uint32_t {
    TimedOut = 0,
    InvalidHandle = 1,
    DeviceNotOpened = 3,
    IoError = 4,
    InsufficientResources = 5,
    InvalidParameter = 6,
    InvalidBaudRate = 7,
    EepromReadFailed = 11,
    DeviceListNotReady = 19
};

// A D2XX call that answers `status` after `skip` calls that pass, for every call after that (a
// write with status 0: one that stops a byte short, its time-out run out); the step of the call it
// breaks on first use and warm (none: not a cell of that phase).
struct CallFault
{
    const char *function;
    uint32_t status;
    int skip;
    const char *exchange;
    std::optional<Stage> firstUse;
    std::optional<Stage> warm;
    bench::UnitOnBus unit = bench::ft232r("JXah00102", 2, 1);
};

const bench::UnitOnBus kXSeries = bench::unit(bench::Chip::XSeries, "JXah02701", 1, 2);
// An FT232H talks in synchronous FIFO mode, not over the serial line the emulated unit hears, so
// it never gets through a handshake here: it has first-use cells only.
const bench::UnitOnBus kFt232h = bench::unit(bench::Chip::FT232H, "JXbh01001", 1, 0);

// Before the handshake: the call stops in the listing or while the interface opens.
const CallFault kBeforeTheHandshake[] = {
    {"FT_CreateDeviceInfoList", InsufficientResources, 0, "listing: interface count", Stage::Listing, Stage::Listing},
    {"FT_GetDeviceInfoList", DeviceListNotReady, 0, "listing: interface nodes", Stage::Listing, Stage::Listing},
    {"FT_Open", DeviceNotOpened, 0, "open", Stage::Opening, Stage::Opening},
    {"FT_GetDeviceInfo", InvalidHandle, 0, "open: chip type", Stage::Opening, Stage::Opening},
    {"FT_EE_Read", EepromReadFailed, 0, "open: EEPROM serial", Stage::Opening, Stage::Opening},
    {"FT_EEPROM_Read", EepromReadFailed, 0, "open: X-series EEPROM serial", Stage::Opening, Stage::Opening, kXSeries},
    {"FT_SetBitMode", IoError, 0, "open: FT232H bit mode", Stage::Opening, std::nullopt, kFt232h},
    {"FT_SetBaudRate", InvalidBaudRate, 0, "open: baud rate", Stage::Opening, Stage::Opening},
    {"FT_SetFlowControl", IoError, 0, "open: flow control", Stage::Opening, Stage::Opening},
    {"FT_SetDataCharacteristics", InvalidParameter, 0, "open: data characteristics", Stage::Opening, Stage::Opening},
    {"FT_SetLatencyTimer", InvalidParameter, 0, "open: latency", Stage::Opening, Stage::Opening},
    {"FT_SetUSBParameters", InvalidParameter, 0, "open: USB transfer sizes", Stage::Opening, Stage::Opening},
    {"FT_Purge", IoError, 0, "open: purge", Stage::Opening, Stage::Opening},
};

// From the handshake on: the exchanges with the unit, and the calls whose status is not used.
// A reply is read in two or three reads (type byte, rest of the header, data if any): the
// handshake's three replies take eight, a reply with data three.
const CallFault kFromTheHandshake[] = {
    {"FT_Write", IoError, 0, "every write", Stage::StartCommand, Stage::FirstRequest},
    {"FT_Write", IoError, 1, "writes after the first", Stage::Information, Stage::SecondRequest},
    {"FT_Write", IoError, 4, "writes after the handshake's four", Stage::FirstRequest, std::nullopt},
    {"FT_Write", IoError, 5, "writes after the first request", Stage::SecondRequest, std::nullopt},
    {"FT_Write", TimedOut, 0, "every write", Stage::StartCommand, Stage::FirstRequest},
    {"FT_Write", TimedOut, 1, "writes after the first", Stage::Information, Stage::SecondRequest},
    {"FT_Read", IoError, 0, "every read", Stage::Information, Stage::FirstRequest},
    {"FT_Read", IoError, 3, "reads after the first reply with data", std::nullopt, Stage::SecondRequest},
    {"FT_Read", IoError, 8, "reads after the handshake's eight", Stage::FirstRequest, std::nullopt},
    {"FT_GetQueueStatus", IoError, 0, "every queue status", Stage::Information, Stage::FirstRequest},
    {"FT_Purge", IoError, 1, "purges after opening", Stage::Untouched, Stage::Untouched},
    {"FT_SetTimeouts", IoError, 0, "time-outs", Stage::Untouched, Stage::Untouched},
    {"FT_Close", IoError, 0, "close", Stage::Untouched, Stage::Untouched},
};

template <size_t N>
std::vector<Cell> cellsOf(const CallFault (&faults)[N], Phase phase, const std::vector<const ExportUnderTest *> &exports)
{
    std::vector<Cell> cells;
    for (const CallFault &fault : faults) {
        const std::optional<Stage> stage = phase == Phase::FirstUse ? fault.firstUse : fault.warm;
        if (!stage)
            continue;
        for (const ExportUnderTest *target : exports) {
            Cell cell;
            cell.target = target;
            cell.fault = std::string(fault.function)
                       + (fault.status == TimedOut ? " stops short" : " answers " + std::to_string(fault.status))
                       + (fault.skip > 0 ? " after " + std::to_string(fault.skip) + " calls" : "");
            cell.exchange = fault.exchange;
            cell.phase = phase;
            cell.stage = *stage;
            cell.unit = fault.unit;
            const std::string function = fault.function;
            const uint32_t status = fault.status;
            const int skip = fault.skip;
            cell.inject = [function, status, skip] {
                if (status == TimedOut)
                    VelmorEmulator::expireNextWrites(-1, skip);
                else
                    VelmorEmulator::failCall(function, status, skip, -1);
            };
            cells.push_back(cell);
        }
    }
    return cells;
}

std::vector<const ExportUnderTest *> firstHalf()
{
    const std::vector<const ExportUnderTest *> all = representativeExports();
    return {all.begin(), all.begin() + long(all.size() / 2)};
}

std::vector<const ExportUnderTest *> secondHalf()
{
    const std::vector<const ExportUnderTest *> all = representativeExports();
    return {all.begin() + long(all.size() / 2), all.end()};
}

TEST(D2xxFaultMatrix, InitialiseTouchesNoDevice)
{
    bench::set({bench::ft232r()});
    for (const char *function : {"FT_CreateDeviceInfoList", "FT_Open", "FT_Write", "FT_Read"})
        VelmorEmulator::failCall(function, IoError, 0, -1);
    EXPECT_EQ(initialise(), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::calls().empty());
}

TEST(D2xxFaultMatrix, FirstUseBeforeTheHandshake)
{
    FaultMatrix("D2XX faults before the handshake, first use")
        .run(cellsOf(kBeforeTheHandshake, Phase::FirstUse, representativeExports()));
}

TEST(D2xxFaultMatrix, WarmBeforeTheRequests)
{
    FaultMatrix("D2XX faults while opening, warm").run(cellsOf(kBeforeTheHandshake, Phase::Warm, representativeExports()));
}

// Every cell here waits 600 ms for the firmware: two halves that can run side by side.
TEST(D2xxFaultMatrix, FirstUseFromTheHandshakeOn_ListingAndReads)
{
    FaultMatrix("D2XX faults from the handshake on, first use (1/2)").run(cellsOf(kFromTheHandshake, Phase::FirstUse, firstHalf()));
}

TEST(D2xxFaultMatrix, FirstUseFromTheHandshakeOn_MovesAndSettings)
{
    FaultMatrix("D2XX faults from the handshake on, first use (2/2)").run(cellsOf(kFromTheHandshake, Phase::FirstUse, secondHalf()));
}

TEST(D2xxFaultMatrix, WarmExchanges)
{
    FaultMatrix("D2XX faults in the exchanges, warm").run(cellsOf(kFromTheHandshake, Phase::Warm, representativeExports()));
}

} // namespace
