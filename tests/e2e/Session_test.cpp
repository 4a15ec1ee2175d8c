// A whole session at a two-unit bench, through all 21 exports.
#include "Bench.h"
#include "VelmorLib.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;

void waitUntilReady(int32_t index)
{
    QElapsedTimer clock;
    clock.start();
    uint8_t ready = 0;
    while (!ready && clock.elapsed() < 5000)
        ASSERT_EQ(isMotorReady(index, &ready), VELMOR_OK);
    ASSERT_EQ(ready, 1);
}

TEST(Session, AllExportsOnTwoUnits)
{
    set({ft232r("JXah00102", 4, 0), unit(Chip::XSeries, "JXah02701", 1, 0)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    int32_t count = 0;
    ASSERT_EQ(getDeviceCount(&count), VELMOR_OK);
    ASSERT_EQ(count, 2);

    // The first use of unit 2 runs its handshake even though the arguments are then refused.
    EXPECT_EQ(setLimitSwitches(2, 9, 1, 1, 1), VELMOR_ERROR_ARGUMENT);
    EXPECT_GT(startCommandsReceived(1), 0u);

    int32_t index = 0;
    ASSERT_EQ(getDeviceIndex("jxah00102", &index), VELMOR_OK);
    ASSERT_EQ(index, 1);

    EXPECT_EQ(motorOff(index), VELMOR_OK);
    EXPECT_EQ(moveMotorRelative(index, 10), VELMOR_ERROR_NOT_READY_OFF);
    EXPECT_EQ(motorOn(index), VELMOR_OK);
    EXPECT_EQ(setMotorSpeed(index, 800, 4), VELMOR_OK);
    EXPECT_EQ(setMotorAcceleration(index, 0), VELMOR_OK);
    EXPECT_EQ(setMotorCurrent(index, 1200, 1), VELMOR_OK);
    EXPECT_EQ(setBacklashCompensation(index, 1, 0, 5), VELMOR_OK);
    EXPECT_EQ(setHomeSettings(index, 0, 1, 0, 100, 200), VELMOR_OK);
    EXPECT_EQ(setLimitSwitches(index, 1, 3, 2, 6), VELMOR_OK);
    EXPECT_EQ(setPWM(index, 20), VELMOR_OK);
    EXPECT_EQ(setPWMStepMode(index), VELMOR_OK);
    EXPECT_EQ(setRelay(index, 1), VELMOR_OK);

    EXPECT_EQ(zeroMotorPosition(index), VELMOR_OK);
    EXPECT_EQ(moveMotorAbsolute(index, 120), VELMOR_OK);
    waitUntilReady(index);
    int32_t position = 0;
    EXPECT_EQ(getAbsolutePosition(index, &position), VELMOR_OK);
    EXPECT_EQ(position, 120);
    EXPECT_EQ(moveMotorRelative(index, -20), VELMOR_OK);
    EXPECT_EQ(stopMotor(index), VELMOR_OK);
    waitUntilReady(index);
    EXPECT_EQ(moveMotorHome(index), VELMOR_OK);
    waitUntilReady(index);
    EXPECT_EQ(getAbsolutePosition(index, &position), VELMOR_OK);
    EXPECT_EQ(position, 0);

    EXPECT_EQ(setRelay(2, 1), VELMOR_ERROR_NO_RELAY);
    EXPECT_EQ(moveMotorRelative(2, 0), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

// An FT232H runs its synchronous FIFO: no baud rate or framing is set, and the unit still hears
// every byte.
TEST(Session, Ft232hUnitOverItsSynchronousFifo)
{
    set({unit(Chip::FT232H, "JXbh01001", 1, 0)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    ASSERT_EQ(motorOn(1), VELMOR_OK);
    ASSERT_EQ(moveMotorRelative(1, 20), VELMOR_OK);
    waitUntilReady(1);
    int32_t position = 0;
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
    EXPECT_EQ(position, 20);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

} // namespace
