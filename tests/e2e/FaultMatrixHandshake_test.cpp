// The fault matrix of the handshake: on the first use of an index the unit misbehaves in one of
// its bootloader exchanges (the raw start command 03, the information read 20, the page
// preparation 21, the page read 18).
#include "FaultMatrix.h"
#include "UnitFaults.h"
#include "VelmorLib.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace matrix;
using namespace faults;
using velmor_firmware::ReceivedPacket;

constexpr int kStart = 0x03;
constexpr int kInformation = 20;
constexpr int kPreparePage = 21;
constexpr int kPage = 18;

struct HandshakeFault
{
    const char *exchange;
    const char *what;
    UnitFault fault;
    Stage stage;
    int minExtraMs = 0;
    int maxExtraMs = 0;
    // Where getDeviceIndex, whose own requests go to the bootloader, stops instead; none: the same.
    std::optional<Stage> serialSearchStage = std::nullopt;
};

const HandshakeFault kAnswers[] = {
    // The start command is written raw and never answered: what the unit does with it shows later.
    // A unit left in its bootloader refuses motor-driver requests but still answers its own.
    {"start command", "silence: the firmware never starts", silence(kStart), Stage::FirstRequest, 0, 0, Stage::Untouched},
    {"start command", "a reply in place of starting", reply(kStart, 0), Stage::FirstRequest, 0, 0, Stage::Untouched},
    {"start command", "a type-07 packet after starting", type07(kStart), Stage::Untouched},
    {"start command", "an unsolicited packet after starting", unsolicitedFirst(kStart), Stage::Untouched},
    {"start command", "unplugged as it arrives", unplug(kStart), Stage::Information},

    {"information", "late by 300 ms", late(kInformation, 300), Stage::Untouched, 300, 300},
    {"information", "one byte more", wrongLength(kInformation, 1), Stage::Information},
    {"information", "one byte less", wrongLength(kInformation, -1), Stage::Information},
    {"information", "corrupt type byte", corruptType(kInformation), Stage::Information},
    {"information", "cut off in the header", cutOff(kInformation, 4), Stage::Information, 1000, 1000},
    {"information", "cut off in the data", cutOff(kInformation, 9), Stage::Information, 1000, 1000},
    {"information", "an unsolicited packet first", unsolicitedFirst(kInformation), Stage::Untouched},
    {"information", "a type-07 packet first", streamPacketFirst(kInformation), Stage::Untouched},
    {"information", "status 91 (success)", reply(kInformation, 91, {0x00, 0x80}), Stage::Untouched},
    {"information", "status 92 (success), long form", reply(kInformation, 92, {0xFF, 0x00, 0x80, 0x01}), Stage::Untouched},
    {"information", "status 1 (not recognised)", reply(kInformation, 1), Stage::Information},
    {"information", "status 2 (busy)", reply(kInformation, 2), Stage::Information},
    {"information", "status 3 (not unlocked)", reply(kInformation, 3), Stage::Information},
    {"information", "status 4 (unknown)", reply(kInformation, 4), Stage::Information},
    {"information", "a page size of 16", reply(kInformation, 0, {0x00, 0x10}), Stage::Information},
    {"information", "a page size of 256, larger than the page", reply(kInformation, 0, {0x01, 0x00}), Stage::Information},
    {"information", "long form without its FF", reply(kInformation, 0, {0x00, 0x00, 0x80, 0x01}), Stage::Information},
    {"information", "unplugged as it arrives", unplug(kInformation), Stage::Information},

    {"prepare page", "late by 300 ms", late(kPreparePage, 300), Stage::Untouched, 300, 300},
    {"prepare page", "one byte more", wrongLength(kPreparePage, 1), Stage::Information},
    {"prepare page", "corrupt type byte", corruptType(kPreparePage), Stage::Information},
    {"prepare page", "cut off in the header", cutOff(kPreparePage, 4), Stage::Information, 1000, 1000},
    {"prepare page", "status 91 (success)", reply(kPreparePage, 91), Stage::Untouched},
    {"prepare page", "status 3 (not unlocked)", reply(kPreparePage, 3), Stage::Information},
    {"prepare page", "status 200 (unknown)", reply(kPreparePage, 200), Stage::Information},
    {"prepare page", "unplugged as it arrives", unplug(kPreparePage), Stage::Information},

    {"page", "one byte less", wrongLength(kPage, -1), Stage::Information},
    {"page", "one byte more", wrongLength(kPage, 1), Stage::Information},
    {"page", "corrupt type byte", corruptType(kPage), Stage::Information},
    {"page", "cut off in the data", cutOff(kPage, 60), Stage::Information, 1000, 1000},
    {"page", "an unsolicited packet first", unsolicitedFirst(kPage), Stage::Untouched},
    {"page", "a type-07 packet first", streamPacketFirst(kPage), Stage::Untouched},
    {"page", "intact but not an information page", reply(kPage, 0, zeroPage(128)), Stage::InvalidInformation},
    {"page", "status 92, check bytes FF 00", reply(kPage, 92, zeroPage(128, 0x00)), Stage::Information},
    {"page", "status 2 (busy)", reply(kPage, 2), Stage::Information},
    {"page", "unplugged as it arrives", unplug(kPage), Stage::Information},
};

// Each of these waits out a 4000 ms reply time-out.
const HandshakeFault kTimeOuts[] = {
    {"information", "silence", silence(kInformation), Stage::Information, 4000, 4000},
    {"information", "a reply under another id", wrongId(kInformation), Stage::Information, 4000, 4000},
    {"information", "a type-07 packet instead", type07(kInformation), Stage::Information, 4000, 4000},
    {"prepare page", "silence", silence(kPreparePage), Stage::Information, 4000, 4000},
    {"page", "late by 4500 ms", late(kPage, 4500), Stage::Information, 4000, 4000},
};

template <size_t N>
std::vector<Cell> cellsOf(const HandshakeFault (&faults)[N], const std::vector<std::string> &exports)
{
    std::vector<Cell> cells;
    for (const HandshakeFault &fault : faults) {
        for (const std::string &name : exports) {
            Cell cell;
            cell.target = &exportNamed(name);
            cell.fault = fault.what;
            cell.exchange = fault.exchange;
            cell.phase = Phase::FirstUse;
            cell.stage = fault.stage;
            if (cell.target->kind == ExportUnderTest::FindsBySerial && fault.serialSearchStage)
                cell.stage = *fault.serialSearchStage;
            cell.minExtraMs = fault.minExtraMs;
            cell.maxExtraMs = fault.maxExtraMs;
            const UnitFault unitFault = fault.fault;
            cell.inject = [unitFault] { VelmorEmulator::addUnitFault(0, unitFault); };
            cell.unitLeaves = unitFault.kind == UnitFault::Unplug;
            cells.push_back(cell);
        }
    }
    return cells;
}

TEST(HandshakeFaultMatrix, AnswersThroughAMotorCall)
{
    FaultMatrix("handshake faults, motorOn").run(cellsOf(kAnswers, {"motorOn"}));
}

TEST(HandshakeFaultMatrix, AnswersThroughTheSerialSearch)
{
    FaultMatrix("handshake faults, getDeviceIndex").run(cellsOf(kAnswers, {"getDeviceIndex"}));
}

TEST(HandshakeFaultMatrix, TimeOuts)
{
    FaultMatrix("handshake time-outs").run(cellsOf(kTimeOuts, {"setMotorSpeed"}));
}

// After a handshake that started the unit but read no version, the calls on the index use the
// version its last full handshake read, across initialise, whatever the unit now runs.
TEST(HandshakeState, AFailedInformationReadKeepsTheVersionReadBefore)
{
    bench::set({bench::ft232r("JXah00102", 5, 0)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(setRelay(1, 1), VELMOR_ERROR_FIRMWARE_UNSUPPORTED);

    bench::set({bench::ft232r("JXah00102", 2, 1)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    VelmorEmulator::addUnitFault(0, corruptType(kInformation));
    EXPECT_EQ(setRelay(1, 1), VELMOR_ERROR_READ_INFORMATION);
    EXPECT_GT(bench::startCommandsReceived(0), 0u);
    VelmorEmulator::unit(0).clearReceivedPackets();
    EXPECT_EQ(setRelay(1, 1), VELMOR_ERROR_FIRMWARE_UNSUPPORTED);  // still 5.0
    EXPECT_EQ(bench::startCommandsReceived(0), 0u);

    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(setRelay(1, 1), VELMOR_OK);  // reads 2.1
    EXPECT_TRUE(VelmorEmulator::unit(0).motorState().relayOn);

    bench::set({bench::ft232r("JXah00102", 5, 0)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    VelmorEmulator::addUnitFault(0, reply(kPage, 0, zeroPage(128)));
    EXPECT_EQ(setRelay(1, 1), VELMOR_ERROR_INFORMATION_INVALID);
    VelmorEmulator::unit(0).clearReceivedPackets();
    EXPECT_EQ(setRelay(1, 1), VELMOR_OK);  // 2.1 from before, though the unit runs 5.0
    EXPECT_EQ(bench::startCommandsReceived(0), 0u);
    EXPECT_TRUE(VelmorEmulator::unit(0).motorState().relayOn);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST(HandshakeState, TheVersionKeptChoosesTheRecordLayouts)
{
    bench::set({bench::ft232r("JXah00102", 2, 1)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(setLimitSwitches(1, 1, 3, 2, 6), VELMOR_OK);  // 2.1: the 18-byte input configuration

    bench::set({bench::ft232r("JXah00102", 3, 0)});  // a unit that takes 19 bytes at the same index
    ASSERT_EQ(initialise(), VELMOR_OK);
    VelmorEmulator::addUnitFault(0, wrongLength(kPage, -1));
    EXPECT_EQ(setLimitSwitches(1, 1, 3, 2, 6), VELMOR_ERROR_READ_INFORMATION);
    EXPECT_EQ(setLimitSwitches(1, 1, 3, 2, 6), VELMOR_ERROR_WRITE_INPUT_CONFIGURATION);  // refused: laid out for 2.1
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(setLimitSwitches(1, 1, 3, 2, 6), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

} // namespace
