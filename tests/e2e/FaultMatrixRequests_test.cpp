// The fault matrix of the motor-driver requests: the unit misbehaves in one request of a call,
// on a warm index and (for a few kinds) on first use, for every export that sends requests.
#include "FaultMatrix.h"
#include "UnitFaults.h"

#include <gtest/gtest.h>

namespace {

using namespace matrix;
using namespace faults;

struct ReplyFault
{
    const char *what;
    std::function<UnitFault(int commandCode)> make;
    bool callSucceeds = false;
    bool onlyWithData = false;     // replies without data have nothing to cut or shorten
    int minExtraMs = 0;
    int maxExtraMs = 0;
};

const ReplyFault kReplyShapes[] = {
    {"late by 300 ms", [](int code) { return late(code, 300); }, true, false, 300, 300},
    {"one byte more", [](int code) { return wrongLength(code, 1); }},
    {"one byte less", [](int code) { return wrongLength(code, -1); }, false, true},
    {"corrupt type byte", [](int code) { return corruptType(code); }},
    {"an unsolicited packet first", [](int code) { return unsolicitedFirst(code); }, true},
    {"a type-07 packet first", [](int code) { return streamPacketFirst(code); }, true},
    {"unplugged as it arrives", [](int code) { return unplug(code); }},
};

// A cut-off reply waits out the channel's 1000 ms read time-out.
const ReplyFault kCutOffInTheHeader[] = {
    {"cut off in the header", [](int code) { return cutOff(code, 4); }, false, false, 1000, 1000},
};

const ReplyFault kCutOffInTheData[] = {
    {"cut off in the data", [](int code) { return cutOff(code, 9); }, false, true, 1000, 1000},
};

// One status of each kind the command set knows, and unknown ones.
const ReplyFault kStatuses[] = {
    {"status 1 (not recognised)", [](int code) { return reply(code, 1); }},
    {"status 2 (busy)", [](int code) { return reply(code, 2); }},
    {"status 100 (motor busy)", [](int code) { return reply(code, 100); }},
    {"status 107 (motor at end)", [](int code) { return reply(code, 107); }},
    {"status 110 (measuring)", [](int code) { return reply(code, 110); }},
    {"status 200 (motion values out of range)", [](int code) { return reply(code, 200); }},
    {"status 201 (supply values out of range)", [](int code) { return reply(code, 201); }},
    {"status 202 (interface values out of range)", [](int code) { return reply(code, 202); }},
    {"status 3 (unknown)", [](int code) { return reply(code, 3); }},
    {"status 255 (unknown)", [](int code) { return reply(code, 255); }},
};

Cell cellOf(const ExportUnderTest &target, const Exchange &exchange, const ReplyFault &fault, Phase phase)
{
    Cell cell;
    cell.target = &target;
    cell.fault = fault.what;
    cell.exchange = exchange.name;
    cell.phase = phase;
    cell.stage = fault.callSucceeds ? Stage::Untouched : exchange.stage;
    cell.minExtraMs = fault.minExtraMs;
    cell.maxExtraMs = fault.maxExtraMs;
    const UnitFault unitFault = skipping(fault.make(exchange.commandCode), phase == Phase::FirstUse ? exchange.firstUseSkip : 0);
    cell.inject = [unitFault] { VelmorEmulator::addUnitFault(0, unitFault); };
    cell.unitLeaves = unitFault.kind == UnitFault::Unplug;
    return cell;
}

template <size_t N>
std::vector<Cell> everyExchange(const ReplyFault (&faults)[N], Phase phase)
{
    std::vector<Cell> cells;
    for (const ExportUnderTest *target : exportsWithExchanges()) {
        for (const Exchange &exchange : target->exchanges) {
            for (const ReplyFault &fault : faults) {
                if (!fault.onlyWithData || exchange.replyCarriesData)
                    cells.push_back(cellOf(*target, exchange, fault, phase));
            }
        }
    }
    return cells;
}

TEST(RequestFaultMatrix, ReplyShapes)
{
    FaultMatrix("request faults: reply shapes, warm").run(everyExchange(kReplyShapes, Phase::Warm));
}

TEST(RequestFaultMatrix, CutOffInTheHeader)
{
    FaultMatrix("request faults: replies cut off in the header, warm").run(everyExchange(kCutOffInTheHeader, Phase::Warm));
}

TEST(RequestFaultMatrix, CutOffInTheData)
{
    FaultMatrix("request faults: replies cut off in the data, warm").run(everyExchange(kCutOffInTheData, Phase::Warm));
}

TEST(RequestFaultMatrix, Statuses)
{
    FaultMatrix("request faults: reply statuses, warm").run(everyExchange(kStatuses, Phase::Warm));
}

// After a full handshake the call's own requests fail as on a warm index.
TEST(RequestFaultMatrix, FirstUse)
{
    const ReplyFault corrupt[] = {{"corrupt type byte", [](int code) { return corruptType(code); }}};
    FaultMatrix("request faults after the handshake, first use").run(everyExchange(corrupt, Phase::FirstUse));
}

struct TimedOutRequest
{
    const char *exportName;
    int exchange;                  // position in the export's exchanges
    ReplyFault fault;
};

// Each of these waits out a 4000 ms reply time-out.
TEST(RequestFaultMatrix, TimeOuts)
{
    const TimedOutRequest timedOut[] = {
        {"motorOn", 0, {"silence", [](int code) { return silence(code); }, false, false, 4000, 4000}},
        {"moveMotorRelative", 1, {"silence", [](int code) { return silence(code); }, false, false, 4000, 4000}},
        {"setMotorSpeed", 0, {"silence", [](int code) { return silence(code); }, false, false, 4000, 4000}},
        {"getAbsolutePosition", 0, {"a reply under another id", [](int code) { return wrongId(code); }, false, false, 4000, 4000}},
        {"setRelay", 0, {"a type-07 packet instead", [](int code) { return type07(code); }, false, false, 4000, 4000}},
        {"setMotorCurrent", 1, {"late by 4500 ms", [](int code) { return late(code, 4500); }, false, false, 4000, 4000}},
        {"getDeviceIndex", 0, {"silence", [](int code) { return silence(code); }, false, false, 4000, 4000}},
    };
    std::vector<Cell> cells;
    for (const TimedOutRequest &row : timedOut) {
        const ExportUnderTest &target = exportNamed(row.exportName);
        cells.push_back(cellOf(target, target.exchanges.at(size_t(row.exchange)), row.fault, Phase::Warm));
    }
    FaultMatrix("request time-outs, warm").run(cells);
}

} // namespace
