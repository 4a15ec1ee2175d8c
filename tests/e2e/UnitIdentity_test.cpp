// A unit is never taken for another when units come and go: the start-up state of an index
// belongs to the unit that went through it, a held index reaches its own unit or none, and a
// unit is found and held by its serial number without opening the others.
#include "Bench.h"
#include "VelmorLibExtras.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;

// The units' firmware versions differ so that a unit judged by another's firmware shows.
UnitOnBus unitA() { return ft232r("JXah001020001", 3, 0); }
UnitOnBus unitB() { return ft232r("JXah001020002", 3, 0); }
UnitOnBus unitC() { return ft232r("JXah001020003", 3, 0); }

// Whether the unit heard anything at all since its packets were last cleared.
bool heardAnything(size_t unit)
{
    for (const ReceivedPacket &packet : VelmorEmulator::receivedPackets(unit)) {
        if (packet.hearing == ReceivedPacket::Understood)
            return true;
    }
    return false;
}

// The motor-driver requests the unit understood since its packets were last cleared.
std::vector<uint8_t> commandsHeard(size_t unit)
{
    std::vector<uint8_t> codes;
    for (const ReceivedPacket &packet : VelmorEmulator::receivedPackets(unit)) {
        if (packet.hearing == ReceivedPacket::Understood && !packet.raw)
            codes.push_back(packet.commandCode);
    }
    return codes;
}

enum class Change { UnplugBefore, UnplugHeld, UnplugAfter, UnplugHeldPlugNew };

struct PinCase
{
    const char *name;
    Change change;
    int32_t callIndex;
    int32_t expectedCode;
    int movedUnit;  // the bench position of the unit that heard the move; -1: none heard anything
};

std::ostream &operator<<(std::ostream &out, const PinCase &pinCase)
{
    return out << pinCase.name;
}

// Bench: A, B, C listed, N unplugged; index 2 (B) held and started. Units change, then a move.
class HeldIndexPinnedToItsUnit : public ::testing::TestWithParam<PinCase>
{
protected:
    void SetUp() override
    {
        set({unitA(), unitB(), unitC(), ft232r("JXah001020004", 3, 0)});
        VelmorEmulator::unplug(3);
        ASSERT_EQ(initialise(), VELMOR_OK);
        for (int32_t index = 1; index <= 3; ++index)
            ASSERT_EQ(motorOn(index), VELMOR_OK);
        ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    }
    void TearDown() override { velmorReleaseAllUnits(); }

    static void apply(Change change)
    {
        switch (change) {
        case Change::UnplugBefore: VelmorEmulator::unplug(0); break;
        case Change::UnplugHeld: VelmorEmulator::unplug(1); break;
        case Change::UnplugAfter: VelmorEmulator::unplug(2); break;
        case Change::UnplugHeldPlugNew:
            VelmorEmulator::unplug(1);
            VelmorEmulator::plug(3);
            break;
        }
    }
};

TEST_P(HeldIndexPinnedToItsUnit, TheMoveReachesTheHeldUnitOrNone)
{
    const PinCase &pinCase = GetParam();
    apply(pinCase.change);
    for (size_t unit = 0; unit < 4; ++unit)
        VelmorEmulator::unit(unit).clearReceivedPackets();

    EXPECT_EQ(moveMotorRelative(pinCase.callIndex, 100), pinCase.expectedCode);
    for (size_t unit = 0; unit < 4; ++unit) {
        if (int(unit) == pinCase.movedUnit)
            EXPECT_EQ(commandsHeard(unit), std::vector<uint8_t>({0x41, 0x22})) << "unit " << unit;
        else
            EXPECT_FALSE(heardAnything(unit)) << "unit " << unit;
    }
    // The held unit's handle is open only while it is the unit listed at its index.
    const size_t heldOpen = pinCase.expectedCode == VELMOR_OK || pinCase.callIndex != 2 ? 1 : 0;
    EXPECT_EQ(VelmorEmulator::openHandles().size(), heldOpen);

    VelmorUnitState state{};
    state.size = sizeof state;
    ASSERT_EQ(velmorGetUnitState(2, &state), VELMOR_OK);
    EXPECT_EQ(state.held, 1);
    EXPECT_STREQ(state.heldSerialNumber, "JXah001020002");
}

INSTANTIATE_TEST_SUITE_P(
    UnitsComeAndGo, HeldIndexPinnedToItsUnit,
    ::testing::Values(PinCase{"unplugged_before_another_slides_in", Change::UnplugBefore, 2, VELMOR_ERROR_OPEN_FAILED, -1},
                      PinCase{"unplugged_before_the_held_unit_at_its_new_index", Change::UnplugBefore, 1,
                              VELMOR_ERROR_OPEN_FAILED, -1},
                      PinCase{"held_unit_unplugged", Change::UnplugHeld, 2, VELMOR_ERROR_OPEN_FAILED, -1},
                      PinCase{"unplugged_after", Change::UnplugAfter, 2, VELMOR_OK, 1},
                      PinCase{"held_unit_out_and_a_new_unit_in_at_once", Change::UnplugHeldPlugNew, 2,
                              VELMOR_ERROR_OPEN_FAILED, -1}),
    [](const ::testing::TestParamInfo<PinCase> &info) { return std::string(info.param.name); });

class UnitIdentity : public ::testing::Test
{
protected:
    void TearDown() override { velmorReleaseAllUnits(); }

    static VelmorUnitState stateOf(int32_t index)
    {
        VelmorUnitState state{};
        state.size = sizeof state;
        EXPECT_EQ(velmorGetUnitState(index, &state), VELMOR_OK);
        return state;
    }
};

TEST_F(UnitIdentity, AHeldUnitBeyondTheListingGives1AndComesBackWhenPluggedIn)
{
    set({unitA(), unitB()});
    ASSERT_EQ(initialise(), VELMOR_OK);
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    VelmorEmulator::unplug(1);
    EXPECT_EQ(motorOn(2), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    const VelmorUnitState away = stateOf(2);
    EXPECT_EQ(away.listed, 0);
    EXPECT_EQ(away.heldUnitAway, 1);
    EXPECT_EQ(away.heldUnitListedAt, 0);
    EXPECT_EQ(away.heldOpen, 0);

    VelmorEmulator::plug(1);
    VelmorEmulator::unit(1).clearReceivedPackets();
    EXPECT_EQ(moveMotorRelative(2, 100), VELMOR_OK);
    EXPECT_EQ(commandsHeard(1), std::vector<uint8_t>({0x41, 0x22}));
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);
    EXPECT_EQ(stateOf(2).heldUnitAway, 0);
}

TEST_F(UnitIdentity, AD2xxFailureClosesTheHandleAndKeepsThePin)
{
    set({unitA(), unitB()});
    ASSERT_EQ(initialise(), VELMOR_OK);
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    VelmorEmulator::failCall("FT_Write", 4, 0, 1);  // FT_IO_ERROR, once
    EXPECT_EQ(stopMotor(2), VELMOR_ERROR_STOP_FAILED);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    VelmorEmulator::unplug(0);  // another unit now stands at index 2: still nothing reaches it
    EXPECT_EQ(stopMotor(2), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(stopMotor(1), VELMOR_ERROR_OPEN_FAILED);
    const VelmorUnitState moved = stateOf(1);
    EXPECT_EQ(moved.heldElsewhereAt, 2);
    EXPECT_EQ(moved.openElsewhere, 0);
    EXPECT_EQ(stateOf(2).heldUnitListedAt, 1);
    EXPECT_EQ(velmorReleaseUnit(2), VELMOR_OK);
    EXPECT_EQ(stopMotor(1), VELMOR_OK);
}

// Start-up state: a unit standing at an index another unit was started at runs its own
// handshake and is judged by its own firmware.
struct StartUpCase
{
    const char *name;
    UnitOnBus second;
    int32_t expectedCode;
};

std::ostream &operator<<(std::ostream &out, const StartUpCase &startUpCase)
{
    return out << startUpCase.name;
}

class StartUpStateFollowsTheUnit : public ::testing::TestWithParam<StartUpCase>
{
};

TEST_P(StartUpStateFollowsTheUnit, AUnitAtAnIndexStartedByAnotherRunsItsOwnHandshake)
{
    set({ft232r("JXah00102", 2, 0), GetParam().second});
    ASSERT_EQ(initialise(), VELMOR_OK);
    ASSERT_EQ(motorOn(1), VELMOR_OK);  // the first unit's handshake, firmware 2.0, at index 1
    VelmorEmulator::unplug(0);
    VelmorEmulator::unit(1).clearReceivedPackets();

    EXPECT_EQ(setMotorCurrent(1, 500, 0), GetParam().expectedCode);
    EXPECT_EQ(startCommandsReceived(1), 1u);
    VelmorUnitInfo info{};
    info.size = sizeof info;
    if (GetParam().expectedCode == VELMOR_OK) {
        ASSERT_EQ(velmorGetUnitInfo(1, &info), VELMOR_OK);
        EXPECT_EQ(info.firmwareMajor, GetParam().second.firmware.firmwareMajor);
    } else {
        EXPECT_EQ(commandsHeard(1), std::vector<uint8_t>({0x14, 0x15, 0x12}));  // its information page only
    }
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    UnitsComeAndGo, StartUpStateFollowsTheUnit,
    ::testing::Values(StartUpCase{"never_started_unit", ft232r("JXah001020002", 2, 0), VELMOR_OK},
                      StartUpCase{"firmware_3_laid_out_as_its_own", ft232r("JXah001020002", 3, 0), VELMOR_OK},
                      StartUpCase{"other_hardware_judged_by_its_own_firmware", unit(Chip::FT232H, "JXbh01001", 1, 0),
                                  VELMOR_OK},
                      StartUpCase{"firmware_its_hardware_refuses", ft232r("JXah001020002", 5, 0),
                                  VELMOR_ERROR_FIRMWARE_UNSUPPORTED}),
    [](const ::testing::TestParamInfo<StartUpCase> &info) { return std::string(info.param.name); });

TEST_F(UnitIdentity, TheSameUnitAtTheSameIndexKeepsItsHandshake)
{
    set({unitA(), unitB()});
    ASSERT_EQ(initialise(), VELMOR_OK);
    ASSERT_EQ(motorOn(2), VELMOR_OK);
    VelmorEmulator::unplug(1);
    VelmorEmulator::plug(1);
    EXPECT_EQ(motorOn(2), VELMOR_OK);
    EXPECT_EQ(startCommandsReceived(1), 1u);
}

TEST_F(UnitIdentity, HoldBySerialOpensOnlyThatUnitAndFollowsIt)
{
    set({unitA(), unitB(), unitC()});
    ASSERT_EQ(initialise(), VELMOR_OK);
    int32_t index = 0;
    ASSERT_EQ(velmorHoldUnitBySerial("jxah001020003", &index), VELMOR_OK);
    EXPECT_EQ(index, 3);
    for (size_t other : {0, 1})
        EXPECT_FALSE(heardAnything(other)) << "unit " << other;
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);

    VelmorEmulator::unplug(0);
    EXPECT_EQ(velmorWhereIsUnit("JXah001020003", &index), VELMOR_OK);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(moveMotorRelative(3, 100), VELMOR_ERROR_DEVICE_INDEX);  // held for it, and beyond the listing now
    ASSERT_EQ(velmorHoldUnitBySerial("JXah001020003", &index), VELMOR_OK);
    EXPECT_EQ(index, 2);
    VelmorEmulator::unit(2).clearReceivedPackets();
    EXPECT_EQ(moveMotorRelative(2, 100), VELMOR_OK);
    EXPECT_EQ(commandsHeard(2), std::vector<uint8_t>({0x41, 0x22}));
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);  // the hold at index 3 gave up its handle
}

TEST_F(UnitIdentity, SerialLookupsThatFindNothingAndTheirArguments)
{
    set({ft232r("JXah00102", 3, 0)});
    int32_t index = 7;
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(velmorHoldUnitBySerial("JXah00199", &index), VELMOR_ERROR_SERIAL_NOT_FOUND);
    EXPECT_EQ(velmorHoldUnitBySerial("", &index), VELMOR_ERROR_SERIAL_NOT_FOUND);
    EXPECT_EQ(velmorWhereIsUnit("JXah0010", &index), VELMOR_ERROR_SERIAL_NOT_FOUND);
    EXPECT_EQ(index, 7);
    EXPECT_EQ(velmorHoldUnitBySerial(nullptr, &index), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(velmorHoldUnitBySerial("JXah00102", nullptr), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(velmorWhereIsUnit(nullptr, &index), VELMOR_ERROR_ARGUMENT);
    VelmorUnitState state{};
    EXPECT_EQ(velmorGetUnitState(1, &state), VELMOR_ERROR_ARGUMENT);  // size not set
    state.size = sizeof state;
    EXPECT_EQ(velmorGetUnitState(0, &state), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(velmorGetUnitState(100, &state), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(UnitIdentity, AUnitOpenInAnotherProgramIsSaidToBe)
{
    set({ft232r("JXah00102", 3, 0)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    VelmorEmulator::failCall("FT_Open", 3);  // FT_DEVICE_NOT_OPENED
    int32_t index = 0;
    EXPECT_EQ(velmorHoldUnitBySerial("JXah00102", &index), VELMOR_ERROR_OPEN_FAILED);
    EXPECT_EQ(index, 1);
    VelmorEmulator::clearCallFailures();
    ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
    const VelmorUnitState held = stateOf(1);
    EXPECT_EQ(held.listed, 1);
    EXPECT_STREQ(held.serialNumber, "JXah00102");
    EXPECT_EQ(held.held, 1);
    EXPECT_EQ(held.heldOpen, 1);
    EXPECT_EQ(held.openElsewhere, 0);  // open, by this process
}

} // namespace
