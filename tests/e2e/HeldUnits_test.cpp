// Holding a unit open between calls: the calls on its index go through the open unit and send
// what they always send; the unit is let go when asked and on initialise, and its handle is
// closed when a D2XX call on it fails or it is no longer listed at its index.
#include "StartedBench.h"
#include "VelmorLibExtras.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;

struct Request
{
    uint8_t commandCode;
    std::vector<uint8_t> payload;
    bool operator==(const Request &other) const { return commandCode == other.commandCode && payload == other.payload; }
};

// The framed requests the unit understood, without their ids.
std::vector<Request> requestsHeard(size_t unit = 0)
{
    std::vector<Request> requests;
    for (const ReceivedPacket &packet : VelmorEmulator::receivedPackets(unit)) {
        if (packet.hearing == ReceivedPacket::Understood && !packet.raw)
            requests.push_back({packet.commandCode, packet.payload});
    }
    return requests;
}

size_t callsTo(const std::string &function)
{
    const auto calls = VelmorEmulator::calls();
    return size_t(std::count_if(calls.begin(), calls.end(), [&](const auto &call) { return call.function == function; }));
}

// A session of exports whose requests do not depend on time.
void session()
{
    int32_t position = 0;
    uint8_t ready = 0;
    EXPECT_EQ(motorOn(1), VELMOR_OK);
    EXPECT_EQ(setMotorSpeed(1, 400, 3), VELMOR_OK);
    EXPECT_EQ(setHomeSettings(1, 1, 0, 1, 100, 200), VELMOR_OK);
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
    EXPECT_EQ(isMotorReady(1, &ready), VELMOR_OK);
    EXPECT_EQ(setRelay(1, 1), VELMOR_OK);
    EXPECT_EQ(motorOff(1), VELMOR_OK);
}

class HeldUnits : public ::testing::Test
{
protected:
    void start(const std::vector<UnitOnBus> &units) { startUnits(units); }
};

TEST_F(HeldUnits, AHeldUnitStaysOpenAndHearsTheSameRequests)
{
    start({ft232r("JXah00102", 3, 0)});
    VelmorEmulator::unit(0).clearReceivedPackets();
    session();
    const std::vector<Request> unheld = requestsHeard();

    ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
    ASSERT_EQ(VelmorEmulator::openHandles().size(), 1u);
    EXPECT_EQ(velmorHoldUnit(1), VELMOR_OK);  // once is enough
    VelmorEmulator::clearCalls();
    VelmorEmulator::unit(0).clearReceivedPackets();
    session();
    EXPECT_EQ(requestsHeard(), unheld);
    EXPECT_EQ(callsTo("FT_Open"), 0u);
    EXPECT_EQ(callsTo("FT_Close"), 0u);
    EXPECT_EQ(callsTo("FT_SetBaudRate"), 0u);
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);

    EXPECT_EQ(velmorReleaseUnit(1), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    EXPECT_EQ(velmorReleaseUnit(1), VELMOR_OK);  // not held: nothing to do
}

TEST_F(HeldUnits, GetDeviceIndexUsesTheHeldUnitAndLeavesItHeld)
{
    start({ft232r("JXah00101", 2, 0), ft232r("JXah00102", 3, 0)});
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    VelmorEmulator::clearCalls();
    int32_t index = 0;
    EXPECT_EQ(getDeviceIndex("jxah00102", &index), VELMOR_OK);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(callsTo("FT_Open"), 1u);  // the unit at position 1 only
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);
    EXPECT_EQ(velmorReleaseAllUnits(), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(HeldUnits, UnpluggedWhileHeldTheIndexIsGoneAndTheHandleClosed)
{
    start({ft232r()});
    ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
    VelmorEmulator::unplug(0);
    EXPECT_EQ(motorOn(1), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(HeldUnits, AUnitPluggedInAgainIsListedWhereItWasAndHeldAnew)
{
    start({ft232r("JXah00101", 2, 0), ft232r("JXah00102", 3, 0)});
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    VelmorEmulator::unplug(1);
    EXPECT_EQ(motorOn(2), VELMOR_ERROR_DEVICE_INDEX);
    VelmorEmulator::plug(1);
    int32_t index = 0;
    EXPECT_EQ(getDeviceIndex("JXah00102", &index), VELMOR_OK);
    EXPECT_EQ(index, 2);
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    EXPECT_EQ(motorOn(2), VELMOR_OK);
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);
    EXPECT_EQ(velmorReleaseAllUnits(), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(HeldUnits, AUnitThatMovedToAnotherIndexIsReachedThereOnlyOnceReleased)
{
    start({ft232r("JXah00101", 2, 0), ft232r("JXah00102", 3, 0)});
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    VelmorEmulator::unplug(0);  // the held unit is now listed first
    EXPECT_EQ(motorOff(2), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    VelmorEmulator::unit(1).clearReceivedPackets();
    EXPECT_EQ(motorOff(1), VELMOR_ERROR_OPEN_FAILED);  // index 2 holds it
    EXPECT_EQ(requestsHeard(1), std::vector<Request>());
    EXPECT_EQ(velmorReleaseUnit(2), VELMOR_OK);
    EXPECT_EQ(motorOff(1), VELMOR_OK);  // after its own handshake: index 1 was another unit's
    EXPECT_EQ(startCommandsReceived(1), 1u);
    ASSERT_FALSE(requestsHeard(1).empty());
    EXPECT_EQ(requestsHeard(1).back(), (Request{0x28, {}}));
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(HeldUnits, InitialiseLetsEveryUnitGoAndTheNextUseRunsTheHandshake)
{
    start({ft232r("JXah00101", 2, 0), ft232r("JXah00102", 3, 0)});
    ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
    ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    ASSERT_EQ(VelmorEmulator::openHandles().size(), 2u);
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    const size_t startsBefore = startCommandsReceived(1);
    EXPECT_EQ(motorOn(2), VELMOR_OK);
    EXPECT_EQ(startCommandsReceived(1), startsBefore + 1);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(HeldUnits, AFailedD2xxCallClosesTheHandleAndTheNextCallOpensItAgain)
{
    start({ft232r()});
    ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
    VelmorEmulator::failCall("FT_Write", 4, 0, 1);  // FT_IO_ERROR, once
    EXPECT_EQ(stopMotor(1), VELMOR_ERROR_STOP_FAILED);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    VelmorEmulator::clearCalls();
    EXPECT_EQ(stopMotor(1), VELMOR_OK);  // opened afresh, and held again
    EXPECT_EQ(callsTo("FT_Open"), 1u);
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);
    EXPECT_EQ(velmorReleaseUnit(1), VELMOR_OK);
}

TEST_F(HeldUnits, TheUnitsOwnRefusalKeepsItHeld)
{
    start({ft232r("JXah00102", 3, 0)});
    ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
    EXPECT_EQ(setMotorCurrent(1, 9000, 0), VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION);
    EXPECT_EQ(VelmorEmulator::openHandles().size(), 1u);
    EXPECT_EQ(velmorReleaseUnit(1), VELMOR_OK);
}

TEST(HeldUnitsArguments, IndicesOutsideTheRangeAndUnitsThatDoNotOpen)
{
    set({ft232r()});
    EXPECT_EQ(velmorHoldUnit(1), VELMOR_ERROR_NOT_INITIALISED);
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(velmorHoldUnit(2), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(velmorReleaseUnit(0), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(velmorReleaseUnit(100), VELMOR_ERROR_DEVICE_INDEX);
    VelmorEmulator::failCall("FT_Open", 3);  // FT_DEVICE_NOT_OPENED
    EXPECT_EQ(velmorHoldUnit(1), VELMOR_ERROR_OPEN_FAILED);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

} // namespace
