// Moving a unit and reading its position and readiness through the exports.
#include "Bench.h"
#include "VelmorLib.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;
using VelmorEmulator::UnitFault;

// The payloads of the move requests (code 0x22) the unit has understood.
std::vector<std::vector<uint8_t>> moves()
{
    std::vector<std::vector<uint8_t>> payloads;
    for (const ReceivedPacket &packet : VelmorEmulator::receivedPackets(0)) {
        if (packet.hearing == ReceivedPacket::Understood && !packet.raw && packet.commandCode == 0x22)
            payloads.push_back(packet.payload);
    }
    return payloads;
}

class Motion : public ::testing::Test
{
protected:
    void SetUp() override
    {
        set({ft232r("JXah00102", 2, 1)});
        ASSERT_EQ(initialise(), VELMOR_OK);
        uint8_t ready = 0;
        ASSERT_EQ(isMotorReady(1, &ready), VELMOR_OK);  // the handshake, once
        ASSERT_EQ(ready, 1);
    }

    velmor_firmware::Unit &unit() { return VelmorEmulator::unit(0); }
};

TEST_F(Motion, FullStepsAreTruncatedTowardZeroBothWays)
{
    unit().setPosition(24);  // 1.5 steps at 1/16 step
    int32_t position = 0;
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(moveMotorAbsolute(1, 1), VELMOR_OK);  // -0.5 truncates to 0: nothing is sent
    EXPECT_TRUE(moves().empty());
    EXPECT_EQ(moveMotorAbsolute(1, 3), VELMOR_OK);  // 1.5 truncates to 1
    ASSERT_EQ(moves().size(), 1u);
    EXPECT_EQ(moves()[0], std::vector<uint8_t>({1, 0, 1, 0, 0, 0}));

    unit().setPosition(-1);
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
    EXPECT_EQ(position, 0);
}

TEST_F(Motion, RelativeMovesCarryDirectionAndMagnitude)
{
    EXPECT_EQ(moveMotorRelative(1, -200), VELMOR_OK);
    EXPECT_EQ(stopMotor(1), VELMOR_OK);
    EXPECT_EQ(moveMotorRelative(1, INT32_MIN), VELMOR_OK);
    EXPECT_EQ(stopMotor(1), VELMOR_OK);
    ASSERT_EQ(moves().size(), 2u);
    EXPECT_EQ(moves()[0], std::vector<uint8_t>({1, 1, 0xC8, 0, 0, 0}));
    EXPECT_EQ(moves()[1], std::vector<uint8_t>({1, 1, 0, 0, 0, 0x80}));
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(Motion, ReadinessGateStopsMovesButNotTheReadinessQuery)
{
    const std::pair<uint8_t, int32_t> gates[] = {
        {0, VELMOR_ERROR_NOT_READY_OFF}, {4, VELMOR_ERROR_NOT_READY_4}, {5, VELMOR_ERROR_NOT_READY_5},
        {6, VELMOR_ERROR_NOT_READY_6},   {2, VELMOR_ERROR_NOT_READY_OTHER}, {255, VELMOR_ERROR_NOT_READY_OTHER}};
    for (const auto &gate : gates) {
        unit().forceReadyByte(gate.first);
        EXPECT_EQ(moveMotorHome(1), gate.second) << "ready byte " << int(gate.first);
        EXPECT_EQ(moveMotorRelative(1, 5), gate.second) << "ready byte " << int(gate.first);
        uint8_t ready = 9;
        EXPECT_EQ(isMotorReady(1, &ready), VELMOR_OK);
        EXPECT_EQ(ready, 0);
    }
    EXPECT_TRUE(moves().empty());
}

TEST_F(Motion, FailedRequestsGiveTheirCodesAndNullOutPointersAreRefused)
{
    UnitFault refused;
    refused.kind = UnitFault::Reply;
    refused.commandCode = 0x41;
    refused.status = 2;
    VelmorEmulator::addUnitFault(0, refused);
    int32_t position = 77;
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_ERROR_READ_FAILED);
    EXPECT_EQ(position, 77);
    UnitFault turnedOff = refused;
    turnedOff.commandCode = 0x22;
    turnedOff.status = 101;
    VelmorEmulator::addUnitFault(0, turnedOff);
    EXPECT_EQ(moveMotorRelative(1, 10), VELMOR_ERROR_MOVE_FAILED);
    EXPECT_EQ(getAbsolutePosition(1, nullptr), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(isMotorReady(1, nullptr), VELMOR_ERROR_ARGUMENT);
}

TEST_F(Motion, MoveThenPollUntilTheUnitArrives)
{
    EXPECT_EQ(moveMotorRelative(1, 40), VELMOR_OK);  // 400 steps/s: about 100 ms
    QElapsedTimer clock;
    clock.start();
    uint8_t ready = 0;
    while (clock.elapsed() < 3000) {
        ASSERT_EQ(isMotorReady(1, &ready), VELMOR_OK);
        if (ready)
            break;
    }
    EXPECT_EQ(ready, 1);
    int32_t position = 0;
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
    EXPECT_EQ(position, 40);
    EXPECT_EQ(moveMotorAbsolute(1, 40), VELMOR_OK);
    EXPECT_EQ(moves().size(), 1u);
}

TEST(MotionWithoutUnits, ZeroStepsSucceedBeforeAnything)
{
    set(std::vector<bench::UnitOnBus>{});
    EXPECT_EQ(moveMotorRelative(1, 0), VELMOR_OK);
    EXPECT_TRUE(VelmorEmulator::calls().empty());
    EXPECT_EQ(moveMotorRelative(1, 1), VELMOR_ERROR_NOT_INITIALISED);
}

} // namespace
