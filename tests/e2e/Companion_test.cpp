// The companion functions at a bench: what a unit is, its motor status and settings read back
// as the unit holds them, what its hardware accepts, and their argument checks.
#include "StartedBench.h"
#include "VelmorLibExtras.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;
using velmor_firmware::RecordKind;
using VelmorEmulator::UnitFault;
using Bytes = std::vector<uint8_t>;

template <typename Record>
Record sized()
{
    Record record;
    std::memset(&record, 0, sizeof record);
    record.size = sizeof record;
    return record;
}

// The command codes of the framed requests the unit understood since its packets were last cleared.
std::vector<uint8_t> commandsHeard()
{
    std::vector<uint8_t> codes;
    for (const ReceivedPacket &packet : VelmorEmulator::receivedPackets(0)) {
        if (packet.hearing == ReceivedPacket::Understood && !packet.raw)
            codes.push_back(packet.commandCode);
    }
    return codes;
}

class Companion : public ::testing::Test
{
protected:
    void start(const UnitOnBus &unit) { startUnits({unit}); }

    velmor_firmware::Unit &unit() { return VelmorEmulator::unit(0); }
    void setRecord(RecordKind kind, const Bytes &bytes) { ASSERT_TRUE(unit().setRecordBytes(kind, bytes)); }
    void refuse(uint8_t commandCode)
    {
        UnitFault busy;
        busy.kind = UnitFault::Reply;
        busy.commandCode = commandCode;
        busy.status = 2;
        VelmorEmulator::addUnitFault(0, busy);
    }
};

TEST(CompanionVersion, TheLibraryReportsTheProjectVersionItsHeaderNames)
{
    int32_t major = -1, minor = -1, patch = -1;
    EXPECT_EQ(velmorGetVersion(&major, &minor, &patch), VELMOR_OK);
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch), VELMOR_PROJECT_VERSION);
    EXPECT_EQ(major, VELMOR_VERSION_MAJOR);
    EXPECT_EQ(minor, VELMOR_VERSION_MINOR);
    EXPECT_EQ(patch, VELMOR_VERSION_PATCH);
    EXPECT_EQ(velmorGetVersion(nullptr, &minor, &patch), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(velmorGetVersion(&major, &minor, nullptr), VELMOR_ERROR_ARGUMENT);
}

struct UnitInfoCase
{
    UnitOnBus unit;
    std::string storedSerial;
    uint32_t chipType;
    int32_t hardwareMajor, hardwareMinor;
};

class CompanionUnitInfo : public Companion, public ::testing::WithParamInterface<UnitInfoCase>
{
};

TEST_P(CompanionUnitInfo, TheListingTheVersionsAndTheStoredSerialNumber)
{
    UnitOnBus bench = GetParam().unit;
    bench.firmware.storedSerial = GetParam().storedSerial;
    bench.locationId = 0x2301;
    start(bench);
    VelmorUnitInfo info = sized<VelmorUnitInfo>();
    ASSERT_EQ(velmorGetUnitInfo(1, &info), VELMOR_OK);
    EXPECT_STREQ(info.serialNumber, bench.serial.c_str());
    EXPECT_STREQ(info.description, "Velmor Stepper Driver");
    EXPECT_EQ(info.chipType, GetParam().chipType);
    EXPECT_EQ(info.locationId, 0x2301u);
    EXPECT_EQ(info.hardwareMajor, GetParam().hardwareMajor);
    EXPECT_EQ(info.hardwareMinor, GetParam().hardwareMinor);
    EXPECT_EQ(info.firmwareMajor, bench.firmware.firmwareMajor);
    EXPECT_EQ(info.firmwareMinor, bench.firmware.firmwareMinor);
    EXPECT_STREQ(info.storedSerialNumber, GetParam().storedSerial.c_str());
    // the stored serial number is the one getDeviceIndex finds the unit by
    int32_t index = 0;
    EXPECT_EQ(getDeviceIndex(info.storedSerialNumber, &index), VELMOR_OK);
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Units, CompanionUnitInfo,
    ::testing::Values(UnitInfoCase{ft232r("JXah00102", 3, 0), "JXah00102-77", 5, 1, 2},
                      UnitInfoCase{ft232r("JXah00101", 2, 0), "JXph9", 5, 1, 1},
                      UnitInfoCase{unit(Chip::XSeries, "JXbh01001", 1, 4), "JXbh01001", 9, 10, 1},
                      UnitInfoCase{unit(Chip::FT232H, "JXah02701", 1, 0), "jxah02701-a", 8, 27, 1}));

TEST_F(Companion, MotorStatusIsOneExchangeDecodedAsTheMotionCallsSeeIt)
{
    start(ft232r("JXah00102", 2, 1));
    // counter 24 at step mode 0 (1/16 step on 1.2): 1.5 full steps
    setRecord(RecordKind::MotorInformation, {0x04, 0x03, 0x02, 0x01, 24, 0, 0, 0, 0, 7, 8, 1, 9, 10});
    unit().forceReadyByte(5);
    VelmorEmulator::clearCalls();
    unit().clearReceivedPackets();

    VelmorMotorStatus status = sized<VelmorMotorStatus>();
    ASSERT_EQ(velmorGetMotorStatus(1, &status), VELMOR_OK);
    EXPECT_EQ(commandsHeard(), Bytes({0x41}));
    EXPECT_DOUBLE_EQ(status.positionInSteps, 1.5);
    EXPECT_EQ(status.rawPosition, 24);
    EXPECT_EQ(status.stepMode, 0u);
    EXPECT_EQ(status.ready, 5u);
    EXPECT_EQ(status.moveGate, VELMOR_ERROR_NOT_READY_5);
    EXPECT_EQ(status.firstWord, 0x01020304u);
    EXPECT_EQ(status.flag9, 7u);
    EXPECT_EQ(status.flag10, 8u);
    EXPECT_EQ(status.flag12, 9u);
    EXPECT_EQ(status.flag13, 10u);
    int32_t position = 0;
    ASSERT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
    EXPECT_EQ(status.position, position);
    EXPECT_EQ(moveMotorHome(1), status.moveGate);

    unit().forceReadyByte(std::nullopt);
    unit().setPosition(-1);  // -1/16 step truncates to 0
    ASSERT_EQ(velmorGetMotorStatus(1, &status), VELMOR_OK);
    EXPECT_EQ(status.position, 0);
    EXPECT_DOUBLE_EQ(status.positionInSteps, -0.0625);
    EXPECT_EQ(status.moveGate, VELMOR_OK);
}

TEST_F(Companion, SettingsAreReadBackWithoutWritingAnything)
{
    start(ft232r("JXah00102", 3, 0));
    setRecord(RecordKind::MotionConfiguration, {0x04, 0x90, 0x01, 0xF4, 0x01, 0x15, 0x27, 0, 0, 1, 1});
    setRecord(RecordKind::MotorConfiguration, {0xE8, 0x03, 0xD0, 0x07, 0x64, 0x00, 0x01, 0x02, 0xF4, 0x01, 0x01});
    setRecord(RecordKind::AdvancedMoveConfiguration, {0x01, 0x00, 0xC8, 0x00, 0x02, 0x01, 0x00, 0xE8, 0x03, 0x10, 0x27});
    unit().clearReceivedPackets();

    VelmorMotionSettings motion = sized<VelmorMotionSettings>();
    ASSERT_EQ(velmorReadMotionSettings(1, &motion), VELMOR_OK);
    EXPECT_EQ(motion.stepMode, 4);
    EXPECT_EQ(motion.speed, 400);
    EXPECT_EQ(motion.alternateSpeed, 500);
    EXPECT_EQ(motion.accelerationTenths, 10005u);
    EXPECT_EQ(motion.acceleration, 1000);
    EXPECT_EQ(motion.accelerationMode, 1);
    EXPECT_EQ(motion.alternateSpeedEnabled, 1);

    VelmorMotorSettings motor = sized<VelmorMotorSettings>();
    ASSERT_EQ(velmorReadMotorSettings(1, &motor), VELMOR_OK);
    EXPECT_EQ(motor.current, 2000);
    EXPECT_EQ(motor.currentFlag, 1);
    EXPECT_EQ(motor.wordValue, 100);
    EXPECT_EQ(motor.byteValue, 2);
    EXPECT_EQ(motor.extendedFlag, 1);
    EXPECT_DOUBLE_EQ(motor.scaledValueA, 1.0);
    EXPECT_DOUBLE_EQ(motor.scaledValueB, 0.5);

    VelmorMoveSettings move = sized<VelmorMoveSettings>();
    ASSERT_EQ(velmorReadMoveSettings(1, &move), VELMOR_OK);
    EXPECT_EQ(move.backlashEnabled, 1);
    EXPECT_EQ(move.backlashDirection, 0);
    EXPECT_EQ(move.backlashAmount, 200);
    EXPECT_EQ(move.homeMode, 2);
    EXPECT_EQ(move.homeDirection, 1);
    EXPECT_EQ(move.homeFlagA, 1);
    EXPECT_EQ(move.homeFlagB, 0);
    EXPECT_EQ(move.homeValueA, 1000);
    EXPECT_EQ(move.homeValueB, 10000);

    EXPECT_EQ(commandsHeard(), Bytes({0x42, 0x43, 0x46}));
}

TEST_F(Companion, WhatTheExportsWriteReadsBackInTheirOwnUnits)
{
    start(bench::unit(Chip::XSeries, "JXah02701", 1, 0));
    ASSERT_EQ(setMotorSpeed(1, 1200, 5), VELMOR_OK);
    ASSERT_EQ(setMotorAcceleration(1, 3000), VELMOR_OK);
    ASSERT_EQ(setMotorCurrent(1, 1500, 1), VELMOR_OK);
    ASSERT_EQ(setBacklashCompensation(1, 1, 1, 35), VELMOR_OK);
    ASSERT_EQ(setHomeSettings(1, 0, 1, 0, 250, 9999), VELMOR_OK);

    VelmorMotionSettings motion = sized<VelmorMotionSettings>();
    ASSERT_EQ(velmorReadMotionSettings(1, &motion), VELMOR_OK);
    EXPECT_EQ(motion.speed, 1200);
    EXPECT_EQ(motion.alternateSpeed, 1200);
    EXPECT_EQ(motion.stepMode, 5);
    EXPECT_EQ(motion.acceleration, 3000);
    EXPECT_EQ(motion.accelerationMode, 1);
    VelmorMotorSettings motor = sized<VelmorMotorSettings>();
    ASSERT_EQ(velmorReadMotorSettings(1, &motor), VELMOR_OK);
    EXPECT_EQ(motor.current, 1500);
    EXPECT_EQ(motor.currentFlag, 1);
    VelmorMoveSettings move = sized<VelmorMoveSettings>();
    ASSERT_EQ(velmorReadMoveSettings(1, &move), VELMOR_OK);
    EXPECT_EQ(move.backlashEnabled, 1);
    EXPECT_EQ(move.backlashDirection, 1);
    EXPECT_EQ(move.backlashAmount, 35);
    EXPECT_EQ(move.homeDirection, 0);
    EXPECT_EQ(move.homeFlagA, 0);  // setHomeSettings takes flag B before flag A
    EXPECT_EQ(move.homeFlagB, 1);
    EXPECT_EQ(move.homeValueA, 250);
    EXPECT_EQ(move.homeValueB, 9999);
}

TEST_F(Companion, ShortRecordsOfHardware11)
{
    start(ft232r("JXah00101", 2, 0));
    setRecord(RecordKind::MotionConfiguration, {0x02, 0x2C, 0x01, 0x64, 0, 0, 0, 1});
    VelmorMotionSettings motion = sized<VelmorMotionSettings>();
    ASSERT_EQ(velmorReadMotionSettings(1, &motion), VELMOR_OK);
    EXPECT_EQ(motion.speed, 300);
    EXPECT_EQ(motion.alternateSpeed, 300);
    EXPECT_EQ(motion.alternateSpeedEnabled, 0);
    EXPECT_EQ(motion.accelerationTenths, 100u);
    VelmorMotorSettings motor = sized<VelmorMotorSettings>();
    ASSERT_EQ(velmorReadMotorSettings(1, &motor), VELMOR_OK);
    EXPECT_EQ(motor.extendedFlag, 0);
}

TEST_F(Companion, MotorSettingsOfHardware11WithLaterFirmwareAreAFailedRead)
{
    start(ft232r("JXah00101", 2, 1));
    VelmorMotorSettings motor = sized<VelmorMotorSettings>();
    EXPECT_EQ(velmorReadMotorSettings(1, &motor), VELMOR_ERROR_READ_MOTOR_CONFIGURATION);
}

// A companion read, the command code of its request, and the code it returns when the unit refuses.
struct RefusedRead
{
    const char *name;
    uint8_t commandCode;
    int32_t code;
    std::function<int32_t()> call;
};

TEST_F(Companion, RefusedReadsGiveTheirCodesAndLeaveTheRecordUntouched)
{
    start(ft232r("JXah00102", 3, 0));
    VelmorMotorStatus status = sized<VelmorMotorStatus>();
    VelmorMotionSettings motion = sized<VelmorMotionSettings>();
    VelmorMotorSettings motor = sized<VelmorMotorSettings>();
    VelmorMoveSettings move = sized<VelmorMoveSettings>();
    status.rawPosition = motion.speed = motor.current = move.homeValueA = 4242;
    const RefusedRead reads[] = {
        {"motor status", 0x41, VELMOR_ERROR_READ_FAILED, [&] { return velmorGetMotorStatus(1, &status); }},
        {"motion", 0x42, VELMOR_ERROR_READ_MOTION_CONFIGURATION, [&] { return velmorReadMotionSettings(1, &motion); }},
        {"motor", 0x43, VELMOR_ERROR_READ_MOTOR_CONFIGURATION, [&] { return velmorReadMotorSettings(1, &motor); }},
        {"move", 0x46, VELMOR_ERROR_READ_FAILED, [&] { return velmorReadMoveSettings(1, &move); }},
    };
    for (const RefusedRead &read : reads) {
        refuse(read.commandCode);
        EXPECT_EQ(read.call(), read.code) << read.name;
        VelmorEmulator::clearUnitFaults(0);
    }
    EXPECT_EQ(status.rawPosition, 4242);
    EXPECT_EQ(motion.speed, 4242);
    EXPECT_EQ(motor.current, 4242);
    EXPECT_EQ(move.homeValueA, 4242);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

// Each companion function that takes a record, called with a record whose size is `size`
// (null for size 0).
std::vector<std::pair<const char *, std::function<int32_t(uint32_t size)>>> recordCalls()
{
    const auto with = [](auto function, auto record) {
        return [function, record](uint32_t size) mutable {
            record.size = size;
            return function(1, size == 0 ? nullptr : &record);
        };
    };
    return {{"unit info", with(velmorGetUnitInfo, VelmorUnitInfo())},
            {"motor status", with(velmorGetMotorStatus, VelmorMotorStatus())},
            {"motion", with(velmorReadMotionSettings, VelmorMotionSettings())},
            {"motor", with(velmorReadMotorSettings, VelmorMotorSettings())},
            {"move", with(velmorReadMoveSettings, VelmorMoveSettings())},
            {"limits", with(velmorGetLimits, VelmorLimits())}};
}

TEST(CompanionArguments, NullRecordsAndUnknownSizesAreRefusedBeforeTheUnitIsTouched)
{
    set({ft232r()});
    ASSERT_EQ(initialise(), VELMOR_OK);
    for (const auto &call : recordCalls()) {
        for (uint32_t size : {0u, 4u, 3u, 1000u})
            EXPECT_EQ(call.second(size), VELMOR_ERROR_ARGUMENT) << call.first << " size " << size;
    }
    EXPECT_TRUE(VelmorEmulator::calls().empty());
}

TEST(CompanionArguments, BeforeInitialiseAndOnAMissingIndexTheOpeningCodes)
{
    set({ft232r()});
    EXPECT_EQ(velmorHoldUnit(1), VELMOR_ERROR_NOT_INITIALISED);
    VelmorLimits limits = sized<VelmorLimits>();
    EXPECT_EQ(velmorGetLimits(1, &limits), VELMOR_ERROR_NOT_INITIALISED);
    VelmorUnitInfo info = sized<VelmorUnitInfo>();
    EXPECT_EQ(velmorGetUnitInfo(1, &info), VELMOR_ERROR_NOT_INITIALISED);
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(velmorGetLimits(2, &limits), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(velmorGetUnitInfo(0, &info), VELMOR_ERROR_DEVICE_INDEX);
    EXPECT_EQ(velmorHoldUnit(-3), VELMOR_ERROR_DEVICE_INDEX);
}

struct LimitsCase
{
    UnitOnBus unit;
    int32_t maximumCurrent, maximumStepRate, inputChannels, hasRelay;
};

class CompanionLimits : public Companion, public ::testing::WithParamInterface<LimitsCase>
{
};

TEST_P(CompanionLimits, WhatEachHardwareVersionAccepts)
{
    start(GetParam().unit);
    VelmorLimits limits = sized<VelmorLimits>();
    ASSERT_EQ(velmorGetLimits(1, &limits), VELMOR_OK);
    EXPECT_EQ(limits.minimumCurrent, 50);
    EXPECT_EQ(limits.maximumCurrent, GetParam().maximumCurrent);
    EXPECT_EQ(limits.maximumStepRate, GetParam().maximumStepRate);
    EXPECT_EQ(limits.largestSpeed, 65535);
    EXPECT_EQ(limits.largestStepMode, 255);
    EXPECT_EQ(limits.largestAcceleration, 429496729);
    EXPECT_EQ(limits.largestBacklashAmount, 65535);
    EXPECT_EQ(limits.largestHomeValue, 10000);
    EXPECT_EQ(limits.inputChannels, GetParam().inputChannels);
    EXPECT_EQ(limits.hasRelay, GetParam().hasRelay);
    EXPECT_EQ(limits.pwmLimit, 100);

    // the exports agree at each edge
    EXPECT_EQ(setLimitSwitches(1, limits.inputChannels, 1, 1, 2), VELMOR_OK);
    EXPECT_EQ(setLimitSwitches(1, limits.inputChannels + 1, 1, 1, 2), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(setHomeSettings(1, 0, 0, 0, uint32_t(limits.largestHomeValue), 0), VELMOR_OK);
    EXPECT_EQ(setHomeSettings(1, 0, 0, 0, uint32_t(limits.largestHomeValue) + 1, 0), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(setRelay(1, 1), limits.hasRelay ? VELMOR_OK : VELMOR_ERROR_NO_RELAY);
    EXPECT_EQ(setMotorSpeed(1, limits.largestSpeed + 1, 0), VELMOR_ERROR_WRITE_MOTION_CONFIGURATION);
    EXPECT_EQ(setMotorAcceleration(1, limits.largestAcceleration + 1), VELMOR_ERROR_WRITE_MOTION_CONFIGURATION);
    EXPECT_EQ(setBacklashCompensation(1, 1, 0, limits.largestBacklashAmount + 1), VELMOR_ERROR_WRITE_BACKLASH);
}

INSTANTIATE_TEST_SUITE_P(HardwareVersions, CompanionLimits,
                         ::testing::Values(LimitsCase{ft232r("JXah00101", 2, 0), 8000, 20000, 4, 1},
                                           LimitsCase{ft232r("JXah00102", 3, 0), 8000, 20000, 4, 1},
                                           LimitsCase{unit(Chip::XSeries, "JXbh01001", 1, 0), 500, 20000, 4, 0},
                                           LimitsCase{unit(Chip::XSeries, "JXah02701", 1, 0), 2000, 100000, 8, 0}));

} // namespace
