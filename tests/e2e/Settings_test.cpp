// Changing a unit's settings through the exports, checked against the records the unit holds.
#include "StartedBench.h"
#include "VelmorLib.h"

#include <gtest/gtest.h>

namespace {

using namespace bench;
using velmor_firmware::RecordKind;
using Bytes = std::vector<uint8_t>;

class Settings : public ::testing::Test
{
protected:
    void start(const UnitOnBus &unit) { startUnits({unit}); }

    Bytes record(RecordKind kind) { return VelmorEmulator::unit(0).recordBytes(kind); }
    void setRecord(RecordKind kind, const Bytes &bytes) { ASSERT_TRUE(VelmorEmulator::unit(0).setRecordBytes(kind, bytes)); }
    bool relayOn() { return VelmorEmulator::unit(0).motorState().relayOn; }
};

TEST_F(Settings, MotionAndMotorConfigurationsChangeOnlyTheKeysNamed)
{
    start(ft232r("JXah00102", 3, 0));
    setRecord(RecordKind::MotionConfiguration, {0x04, 0x90, 0x01, 0xF4, 0x01, 0x10, 0x27, 0, 0, 0, 1});
    EXPECT_EQ(setMotorSpeed(1, 400, 3), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::MotionConfiguration), Bytes({0x03, 0x90, 0x01, 0x90, 0x01, 0x10, 0x27, 0, 0, 0, 1}));
    EXPECT_EQ(setMotorAcceleration(1, 5), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::MotionConfiguration), Bytes({0x03, 0x90, 0x01, 0x90, 0x01, 0x32, 0, 0, 0, 1, 1}));
    EXPECT_EQ(setMotorAcceleration(1, 0), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::MotionConfiguration), Bytes({0x03, 0x90, 0x01, 0x90, 0x01, 0, 0, 0, 0, 0, 1}));

    setRecord(RecordKind::MotorConfiguration, {0xE8, 0x03, 0xD0, 0x07, 0x64, 0x00, 0x00, 0x02, 0xF4, 0x01, 0x01});
    EXPECT_EQ(setMotorCurrent(1, 1500, 1), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::MotorConfiguration), Bytes({0xE8, 0x03, 0xDC, 0x05, 0x64, 0x00, 0x01, 0x02, 0xF4, 0x01, 0x01}));

    // values the unit refuses come back as the write's failure, and the unit keeps its record
    EXPECT_EQ(setMotorCurrent(1, 9000, 0), VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION);
    EXPECT_EQ(record(RecordKind::MotorConfiguration), Bytes({0xE8, 0x03, 0xDC, 0x05, 0x64, 0x00, 0x01, 0x02, 0xF4, 0x01, 0x01}));
    EXPECT_EQ(setMotorSpeed(1, 400, 7), VELMOR_ERROR_WRITE_MOTION_CONFIGURATION);
    EXPECT_EQ(record(RecordKind::MotionConfiguration)[0], 0x03);

    // a failed read sends nothing
    VelmorEmulator::UnitFault busy;
    busy.kind = VelmorEmulator::UnitFault::Reply;
    busy.commandCode = 0x42;
    busy.status = 2;
    VelmorEmulator::addUnitFault(0, busy);
    EXPECT_EQ(setMotorSpeed(1, 100, 0), VELMOR_ERROR_READ_MOTION_CONFIGURATION);
    EXPECT_EQ(record(RecordKind::MotionConfiguration)[1], 0x90);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST_F(Settings, BacklashAndHomeSettingsWithTheirArgumentChecks)
{
    start(ft232r("JXah00102", 3, 0));
    setRecord(RecordKind::AdvancedMoveConfiguration, {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0});
    VelmorEmulator::clearCalls();
    EXPECT_EQ(setBacklashCompensation(1, 1, 2, 10), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(setBacklashCompensation(1, 1, uint32_t(-1), 10), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(setHomeSettings(1, 0, 0, 0, 10001, 0), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(setHomeSettings(1, 2, 0, 0, 0, 0), VELMOR_ERROR_ARGUMENT);
    EXPECT_TRUE(VelmorEmulator::calls().empty());  // refused before the unit was opened

    EXPECT_EQ(setBacklashCompensation(1, 1, 1, 200), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::AdvancedMoveConfiguration), Bytes({1, 1, 0xC8, 0, 1, 0, 0, 0, 0, 0, 0}));
    // the third parameter is homeFlagB, the fourth homeFlagA
    EXPECT_EQ(setHomeSettings(1, 1, 0, 1, 10000, 0), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::AdvancedMoveConfiguration), Bytes({1, 1, 0xC8, 0, 2, 1, 0, 0x10, 0x27, 0, 0}));
}

TEST_F(Settings, LimitSwitchesPwmAndRelayOnHardware12)
{
    start(ft232r("JXah00102", 3, 0));
    EXPECT_EQ(setLimitSwitches(1, 5, 1, 1, 1), VELMOR_ERROR_ARGUMENT);  // four channels
    EXPECT_EQ(setLimitSwitches(1, 1, 7, 2, 1), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(setLimitSwitches(1, 1, 0, 2, 4), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::InputConfiguration),
              Bytes({0xFF, 0x21, 0xFF, 0xFF, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 4, 0, 0, 0, 5}));

    EXPECT_EQ(setPWM(1, 50), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::PwmSettings), Bytes({50}));
    EXPECT_EQ(setPWMStepMode(1), VELMOR_OK);  // firmware 3.0 does not take the step mode byte
    EXPECT_EQ(record(RecordKind::PwmSettings), Bytes({0}));

    EXPECT_EQ(setRelay(1, 1), VELMOR_OK);
    EXPECT_TRUE(relayOn());
    EXPECT_EQ(setRelay(1, 0), VELMOR_OK);
    EXPECT_FALSE(relayOn());
}

TEST_F(Settings, EightInputChannelsAndNoRelayOnHardware271)
{
    start(unit(Chip::XSeries, "JXah02701", 1, 0));
    EXPECT_EQ(setLimitSwitches(1, 5, 1, 1, 1), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::InputConfiguration),
              Bytes({0x21, 0xFF, 0xFF, 0xFF, 0x20, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0}));
    EXPECT_EQ(setPWMStepMode(1), VELMOR_OK);
    EXPECT_EQ(record(RecordKind::PwmSettings), Bytes({0, 0}));
    EXPECT_EQ(setRelay(1, 1), VELMOR_ERROR_NO_RELAY);
}

TEST_F(Settings, MotorConfigurationOfHardware11WithLaterFirmwareIsAFailedReadNotACrash)
{
    start(ft232r("JXah00101", 2, 1));
    EXPECT_EQ(setMotorCurrent(1, 1000, 0), VELMOR_ERROR_READ_MOTOR_CONFIGURATION);
}

TEST(SettingsBeforeInitialise, EverySettingsCallReports27)
{
    set({ft232r()});
    EXPECT_EQ(setMotorSpeed(1, 1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setMotorAcceleration(1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setMotorCurrent(1, 1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setBacklashCompensation(1, 1, 1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setHomeSettings(1, 1, 1, 1, 1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setLimitSwitches(1, 1, 1, 1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setPWM(1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setPWMStepMode(1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_EQ(setRelay(1, 1), VELMOR_ERROR_NOT_INITIALISED);
    EXPECT_TRUE(VelmorEmulator::calls().empty());
}

} // namespace
