// The emulated unit's motor over time, its scripted faults, power cycles and saved state.
#include "FirmwareBench.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <sstream>

using namespace firmware_bench;
using velmor_firmware::MotorState;
using velmor_firmware::ReceivedPacket;
using velmor_firmware::RecordKind;
using velmor_firmware::RunState;
using velmor_firmware::UnitFault;

namespace {

constexpr uint8_t s_move = 0x22;
constexpr uint8_t s_motorOn = 0x27;
constexpr uint8_t s_motorOff = 0x28;
constexpr uint8_t s_stop = 0x29;
constexpr uint8_t s_zero = 0x30;
constexpr uint8_t s_home = 0x32;
constexpr uint8_t s_readMotorInformation = 0x41;
constexpr uint8_t s_writeMotion = 0x20;

// Relative move order: kind 1, direction 0 up / 1 down, whole steps LE.
Bytes moveBy(int64_t steps)
{
    const uint32_t magnitude = static_cast<uint32_t>(steps < 0 ? -steps : steps);
    return {1, uint8_t(steps < 0 ? 1 : 0), uint8_t(magnitude), uint8_t(magnitude >> 8), uint8_t(magnitude >> 16), uint8_t(magnitude >> 24)};
}

int32_t positionIn(const Bytes &motorInformation)
{
    return int32_t(uint32_t(motorInformation[4]) | uint32_t(motorInformation[5]) << 8 | uint32_t(motorInformation[6]) << 16
                   | uint32_t(motorInformation[7]) << 24);
}

// A 1.2 unit with its firmware up: 400 whole steps/s, step mode 0 (1/16), no ramp.
class EmulatorUnitMotion : public testing::Test
{
protected:
    EmulatorUnitMotion() { bench.boot(); }

    Bytes motorInformation() { return bench.data(s_readMotorInformation); }
    MotorState motor() { return bench.unit().motorState(bench.now()); }

    Bench bench;
};

TEST_F(EmulatorUnitMotion, RelativeMoveRunsAtTheConfiguredSpeed)
{
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(500);
    Bytes information = motorInformation();
    EXPECT_EQ(positionIn(information), 3200);
    EXPECT_EQ(information[8], 0);
    EXPECT_EQ(information[11], 2) << "moving";
    EXPECT_EQ(bench.status(s_move, moveBy(1)), 100) << "a move while moving";
    EXPECT_EQ(bench.status(s_home), 100);
    EXPECT_EQ(bench.status(s_zero), 100);
    bench.wait(500);
    information = motorInformation();
    EXPECT_EQ(positionIn(information), 6400);
    EXPECT_EQ(information[11], 1);

    EXPECT_EQ(bench.status(s_move, moveBy(-500)), 0);
    bench.wait(1250);
    EXPECT_EQ(positionIn(motorInformation()), -1600);
    EXPECT_FALSE(motor().moving);
}

TEST_F(EmulatorUnitMotion, StopHomeAndZero)
{
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(250);
    EXPECT_EQ(bench.status(s_stop), 0);
    bench.wait(1000);
    EXPECT_EQ(positionIn(motorInformation()), 1600) << "stopped where it was";

    EXPECT_EQ(bench.status(s_home), 0);
    EXPECT_EQ(motor().target, 0);
    bench.wait(100);
    EXPECT_EQ(motor().position, 960);
    bench.wait(150);
    EXPECT_EQ(positionIn(motorInformation()), 0);

    bench.unit().setPosition(-77, bench.now());
    EXPECT_EQ(bench.status(s_zero), 0);
    EXPECT_EQ(positionIn(motorInformation()), 0);
    EXPECT_EQ(bench.status(s_home), 0) << "already home";
    EXPECT_FALSE(motor().moving);
}

TEST_F(EmulatorUnitMotion, MotorOffRefusesMovesAndStopsARunningOne)
{
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(500);
    EXPECT_EQ(bench.status(s_motorOff), 0);
    bench.wait(500);
    Bytes information = motorInformation();
    EXPECT_EQ(positionIn(information), 3200);
    EXPECT_EQ(information[11], 0);
    EXPECT_EQ(bench.status(s_move, moveBy(1)), 101);
    EXPECT_EQ(bench.status(s_home), 101);
    EXPECT_EQ(bench.status(s_motorOn), 0);
    EXPECT_EQ(motorInformation()[11], 1);
}

TEST_F(EmulatorUnitMotion, RefusesMoveOrdersItDoesNotKnow)
{
    for (const char *order : {"00 00 01 00 00 00", "03 00 01 00 00 00", "01 02 01 00 00 00", "01 00 01 00 00"}) {
        SCOPED_TRACE(order);
        EXPECT_EQ(bench.status(s_move, hex(order)), 1);
    }
    EXPECT_EQ(bench.status(s_motorOn, hex("00")), 1) << "no payload expected";
    EXPECT_FALSE(motor().moving);
}

TEST_F(EmulatorUnitMotion, CounterSaturatesAtItsRange)
{
    EXPECT_EQ(bench.status(s_move, moveBy(0xFFFFFFFFll)), 0);
    EXPECT_EQ(motor().target, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(bench.status(s_stop), 0);
    EXPECT_EQ(bench.status(s_move, moveBy(0)), 0);
    EXPECT_FALSE(motor().moving);
}

TEST_F(EmulatorUnitMotion, AStepModeChangeKeepsTheWholeSteps)
{
    EXPECT_EQ(bench.status(s_move, moveBy(300)), 0);
    bench.wait(1000);
    EXPECT_EQ(bench.status(s_writeMotion, hex("01 90 01 90 01 10 27 00 00 00 00")), 0);
    const Bytes information = motorInformation();
    EXPECT_EQ(information[8], 3) << "exponent 1: half steps";
    EXPECT_EQ(positionIn(information), 600);
    EXPECT_EQ(bench.status(s_move, moveBy(-100)), 0);
    bench.wait(250);
    EXPECT_EQ(positionIn(motorInformation()), 400);
}

TEST_F(EmulatorUnitMotion, RampedMoveAcceleratesAndBrakes)
{
    // 400 steps/s at 400 steps/s²: 400 steps take 2 s, half of them in the first second.
    EXPECT_EQ(bench.status(s_writeMotion, hex("04 90 01 90 01 A0 0F 00 00 01 00")), 0);
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(500);
    EXPECT_EQ(motor().position, 800);
    bench.wait(500);
    EXPECT_EQ(motor().position, 3200);
    bench.wait(999);
    EXPECT_TRUE(motor().moving);
    bench.wait(1);
    EXPECT_EQ(motor().position, 6400);
    EXPECT_FALSE(motor().moving);
}

TEST_F(EmulatorUnitMotion, ForcedReadyByteShowsWhateverTheMotorDoes)
{
    for (uint8_t forced : {0, 4, 5, 6, 9}) {
        bench.unit().forceReadyByte(forced);
        EXPECT_EQ(motorInformation()[11], forced);
    }
    bench.unit().forceReadyByte(std::nullopt);
    EXPECT_EQ(motorInformation()[11], 1);
}

TEST_F(EmulatorUnitMotion, RelayFollowsItsCommands)
{
    EXPECT_FALSE(motor().relayOn);
    EXPECT_EQ(bench.status(0x2C), 0);
    EXPECT_TRUE(motor().relayOn);
    EXPECT_EQ(bench.status(0x2D), 0);
    EXPECT_FALSE(motor().relayOn);
}

TEST_F(EmulatorUnitMotion, PowerCycleGoesBackToTheBootloaderKeepingThePosition)
{
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(500);
    bench.unit().powerCycle(bench.now());
    EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Bootloader);
    EXPECT_FALSE(motor().motorOn);
    EXPECT_EQ(bench.status(s_readMotorInformation), 1);
    bench.boot();
    const Bytes information = motorInformation();
    EXPECT_EQ(positionIn(information), 3200);
    EXPECT_EQ(information[11], 1);
}

// Faults on action 22 of a unit whose normal answer is 05 69 00 00 00 00 0E 00 + 14 bytes.
struct FaultCase
{
    const char *name;
    UnitFault fault;
    const char *expected;           // "normal" stands for the normal answer
};

UnitFault faultOf(UnitFault::Kind kind)
{
    UnitFault fault;
    fault.kind = kind;
    fault.commandCode = s_readMotorInformation;
    return fault;
}

UnitFault with(UnitFault fault, void (*change)(UnitFault &))
{
    change(fault);
    return fault;
}

TEST(EmulatorUnitFaults, ReshapeTheAnswerOfAMatchingRequest)
{
    const std::string normalData = "00 00 00 00 00 00 00 00 00 00 00 01 00 00";
    const FaultCase cases[] = {
        {"reply", with(faultOf(UnitFault::Reply), [](UnitFault &f) { f.status = 102; f.data = {1}; }), "05 69 00 00 00 66 01 00 01"},
        {"silence", faultOf(UnitFault::Silence), ""},
        {"late", with(faultOf(UnitFault::Late), [](UnitFault &f) { f.delayMs = 300; }), "normal"},
        {"wrong id", faultOf(UnitFault::WrongId), "05 6A 00 00 00 00 0E 00 + data"},
        {"one short", faultOf(UnitFault::WrongLength), "05 69 00 00 00 00 0D 00 00 00 00 00 00 00 00 00 00 00 00 01 00"},
        {"two more", with(faultOf(UnitFault::WrongLength), [](UnitFault &f) { f.lengthDelta = 2; }), "05 69 00 00 00 00 10 00 + data 00 00"},
        {"corrupt type", faultOf(UnitFault::CorruptType), "06 69 00 00 00 00 0E 00 + data"},
        {"cut off", faultOf(UnitFault::CutOff), "05 69 00 00"},
        {"type 07", with(faultOf(UnitFault::Type07), [](UnitFault &f) { f.data = {0xAB, 0xCD}; }), "07 02 AB CD"},
        {"unsolicited", with(faultOf(UnitFault::Unsolicited), [](UnitFault &f) { f.unsolicitedId = 7; f.data = {0xEE}; }),
         "05 07 00 00 00 00 01 00 EE normal"},
        {"stream first", with(faultOf(UnitFault::StreamFirst), [](UnitFault &f) { f.data = {0xAB}; }), "07 01 AB normal"},
    };
    const Bytes normal = hex("05 69 00 00 00 00 0E 00 " + normalData);
    for (const FaultCase &c : cases) {
        SCOPED_TRACE(c.name);
        Bench bench;
        bench.boot();
        bench.unit().addFault(c.fault);
        std::string expected = c.expected;
        for (const std::string &word : {std::string("+ data"), std::string("normal")}) {
            const size_t at = expected.find(word);
            if (at != std::string::npos)
                expected.replace(at, word.size(), word == "normal" ? hexOf(normal) : normalData);
        }
        const Bytes packet = hex("05 69 00 00 00 41 00 00");
        const auto sent = bench.unit().receive(packet.data(), packet.size(), bench.now(), bench.unit().expectedLine());
        Bytes bytes;
        for (const auto &transmission : sent)
            bytes = bytes + transmission.bytes;
        EXPECT_EQ(hexOf(bytes), hexOf(hex(expected)));
        if (c.fault.kind == UnitFault::Late) {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_GE(sent[0].sendTime - bench.now(), std::chrono::milliseconds(300));
        }
        EXPECT_EQ(bench.ask(106, s_readMotorInformation), reply(106, 0, hex(normalData))) << "the fault struck once";
    }
}

TEST(EmulatorUnitFaults, MatchByCodeAfterSkipForTimes)
{
    Bench bench;
    bench.boot();
    UnitFault fault = faultOf(UnitFault::Reply);
    fault.status = 2;
    fault.skip = 1;
    fault.times = 2;
    bench.unit().addFault(fault);
    EXPECT_EQ(bench.status(0x42), 0) << "another code";
    EXPECT_EQ(bench.status(s_readMotorInformation), 0);
    EXPECT_EQ(bench.status(s_readMotorInformation), 2);
    EXPECT_EQ(bench.status(s_readMotorInformation), 2);
    EXPECT_EQ(bench.status(s_readMotorInformation), 0);

    UnitFault always = faultOf(UnitFault::Reply);
    always.commandCode = -1;
    always.status = 3;
    always.times = -1;
    bench.unit().addFault(always);
    EXPECT_EQ(bench.status(20), 3);
    EXPECT_EQ(bench.status(s_readMotorInformation), 3);
    bench.unit().clearFaults();
    EXPECT_EQ(bench.status(s_readMotorInformation), 0);
}

TEST(EmulatorUnitFaults, TakenRequestsAreNotCarriedOut)
{
    Bench bench;
    UnitFault lostStart = faultOf(UnitFault::Silence);
    lostStart.commandCode = 0x03;
    bench.unit().addFault(lostStart);
    bench.boot();
    EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Bootloader);
    bench.boot();
    EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Firmware);

    UnitFault refused = faultOf(UnitFault::Reply);
    refused.commandCode = s_move;
    bench.unit().addFault(refused);
    EXPECT_EQ(bench.status(s_move, moveBy(10)), 0);
    EXPECT_FALSE(bench.unit().motorState(bench.now()).moving);

    UnitFault late = faultOf(UnitFault::Late);
    late.commandCode = s_move;
    bench.unit().addFault(late);
    EXPECT_EQ(bench.status(s_move, moveBy(10)), 0);
    EXPECT_TRUE(bench.unit().motorState(bench.now()).moving) << "a late answer is still carried out";
}

TEST(EmulatorUnitFaults, UnplugTakesTheUnitOffTheBusUntilPowerCycle)
{
    Bench bench;
    bench.boot();
    bench.unit().addFault(faultOf(UnitFault::Unplug));
    EXPECT_TRUE(bench.ask(101, s_readMotorInformation).empty());
    EXPECT_TRUE(bench.ask(102, 20).empty());
    EXPECT_TRUE(bench.unit().unplugged());
    const std::vector<ReceivedPacket> received = bench.unit().receivedPackets();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received.back().hearing, ReceivedPacket::Ignored);
    bench.unit().powerCycle(bench.now());
    EXPECT_FALSE(bench.unit().unplugged());
    EXPECT_EQ(bench.ask(103, 20), reply(103, 0, hex("00 80")));
}

TEST(EmulatorUnitState, AMoveGoesOnAfterRestore)
{
    Bench bench(setupFor(serialOf("27.1"), 1, 0));
    bench.boot();
    EXPECT_EQ(bench.status(0x21, hex("E8 03 D0 07 64 00 00 02 F4 01 00")), 0);
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(250);
    const std::string saved = bench.unit().saveState(bench.now());

    Bench other;
    ASSERT_TRUE(other.unit().restoreState(saved, other.now()));
    EXPECT_EQ(other.unit().setup().usbSerial, "JXbp02701");
    EXPECT_EQ(other.unit().runState(other.now()), RunState::Firmware);
    MotorState motor = other.unit().motorState(other.now());
    EXPECT_TRUE(motor.moving);
    EXPECT_GE(motor.position, 12800);
    EXPECT_LT(motor.position, 12800 + 128 * 40) << "well within the time a save and restore take";
    other.wait(750);
    motor = other.unit().motorState(other.now());
    EXPECT_EQ(motor.position, 51200);
    EXPECT_EQ(other.unit().recordBytes(RecordKind::MotorConfiguration), hex("E8 03 D0 07 64 00 00 02 F4 01 00"));
    other.setLine(other.unit().expectedLine());
    EXPECT_EQ(other.ask(101, 0x43), reply(101, 0, hex("E8 03 D0 07 64 00 00 02 F4 01 00")));
}

TEST(EmulatorUnitState, AStartInProgressGoesOnAfterRestore)
{
    Bench bench;
    bench.send({0x03});
    const std::string saved = bench.unit().saveState(bench.now());
    Bench other(setupFor(serialOf("1.1")));
    ASSERT_TRUE(other.unit().restoreState(saved, other.now()));
    EXPECT_EQ(other.unit().runState(other.now()), RunState::Starting);
    other.wait(200);
    EXPECT_EQ(other.unit().runState(other.now()), RunState::Firmware);
    EXPECT_EQ(other.data(s_readMotorInformation)[11], 1);
}

// The saved text with the value of every line `key=` replaced by what `change` makes of it.
std::string withValue(const std::string &text, const std::string &key,
                      const std::function<std::string(const std::string &)> &change)
{
    std::istringstream lines(text);
    std::string line;
    std::string result;
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0)
            line = key + "=" + change(line.substr(key.size() + 1));
        result += line + "\n";
    }
    return result;
}

std::string shiftedBack(const std::string &text, const std::string &key, int64_t microseconds)
{
    return withValue(text, key, [&](const std::string &value) { return std::to_string(std::stoll(value) - microseconds); });
}

// The saved text without the lines that measure time, which differ from one save to the next.
std::string withoutTimes(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    std::string result;
    for (; std::getline(lines, line);) {
        if (line.rfind("savedAt", 0) != 0 && line.rfind("bootId=", 0) != 0 && line.rfind("firmwareUpIn=", 0) != 0
            && line.rfind("motor.moveElapsed=", 0) != 0)
            result += line + "\n";
    }
    return result;
}

TEST(EmulatorUnitState, EveryPartOfTheStateSurvivesARoundTrip)
{
    UnitSetup setup = setupFor(serialOf("1.2"), 4, 3);
    setup.pageFormat = 1;
    setup.storedSerial = "JXAH09999";
    setup.name = "bench unit 7";
    setup.pageSize = 256;
    setup.numbers[0] = 9;
    setup.numbers[5] = 60000;
    setup.entries.push_back({"axis", {1, 2, 3, 4}});
    setup.longInformationReply = true;
    setup.informationFlagBit = 1;
    setup.bootMilliseconds = 150;
    Bench bench(setup);
    bench.boot();
    const RecordKind patterned[] = {RecordKind::MotorConfiguration, RecordKind::InputConfiguration, RecordKind::AdvancedMoveConfiguration,
                                    RecordKind::PwmSettings, RecordKind::Block21, RecordKind::Block26, RecordKind::Block28};
    for (RecordKind kind : patterned) {
        Bytes pattern = bench.unit().recordBytes(kind);
        for (size_t i = 0; i < pattern.size(); ++i)
            pattern[i] = uint8_t(0x31 + i + 7 * int(kind));
        ASSERT_TRUE(bench.unit().setRecordBytes(kind, pattern, bench.now()));
    }
    bench.unit().setStepMode(2, bench.now());
    EXPECT_EQ(bench.status(0x2C), 0) << "relay on";
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    bench.wait(250);
    bench.unit().forceReadyByte(5);
    const std::string saved = bench.unit().saveState(bench.now());

    Bench other;
    ASSERT_TRUE(other.unit().restoreState(saved, other.now()));
    EXPECT_EQ(withoutTimes(other.unit().saveState(other.now())), withoutTimes(saved));
    const UnitSetup &restored = other.unit().setup();
    EXPECT_EQ(restored.storedSerial, "JXAH09999");
    EXPECT_EQ(restored.pageSize, 256);
    EXPECT_EQ(restored.numbers[5], 60000);
    ASSERT_EQ(restored.entries.size(), 1u);
    EXPECT_EQ(restored.entries[0].numbers[3], 4);
    EXPECT_TRUE(restored.longInformationReply);
    EXPECT_EQ(restored.bootMilliseconds, 150u);
    for (RecordKind kind : patterned)
        EXPECT_EQ(hexOf(other.unit().recordBytes(kind)), hexOf(bench.unit().recordBytes(kind))) << int(kind);
    EXPECT_EQ(hexOf(other.unit().recordBytes(RecordKind::MotionConfiguration)),
              hexOf(bench.unit().recordBytes(RecordKind::MotionConfiguration)));
    const MotorState before = bench.unit().motorState(bench.now());
    const MotorState after = other.unit().motorState(other.now());
    EXPECT_TRUE(after.moving);
    EXPECT_GE(after.position, before.position);
    EXPECT_EQ(after.target, before.target);
    EXPECT_EQ(after.readyByte, 5);
    EXPECT_TRUE(after.motorOn);
    EXPECT_EQ(after.stepMode, 2);
    EXPECT_TRUE(after.relayOn);
    EXPECT_EQ(other.unit().runState(other.now()), RunState::Firmware);
    other.setLine(other.unit().expectedLine());
    EXPECT_EQ(other.ask(101, 20), reply(101, 0, hex("FF 01 00 01"))) << "the bootloader's long answer";
}

TEST(EmulatorUnitState, AnOffUnitLeftOffTheBusStaysSo)
{
    Bench bench;
    bench.boot();
    EXPECT_EQ(bench.status(s_motorOff), 0);
    bench.unit().setPosition(-77, bench.now());
    bench.unit().addFault(faultOf(UnitFault::Unplug));
    EXPECT_TRUE(bench.ask(101, s_readMotorInformation).empty());
    const std::string saved = bench.unit().saveState(bench.now());

    Bench other;
    ASSERT_TRUE(other.unit().restoreState(saved, other.now()));
    EXPECT_TRUE(other.unit().unplugged());
    const MotorState motor = other.unit().motorState(other.now());
    EXPECT_FALSE(motor.motorOn);
    EXPECT_EQ(motor.readyByte, 0);
    EXPECT_EQ(motor.position, -77);
    EXPECT_EQ(other.unit().runState(other.now()), RunState::Firmware) << "the firmware keeps running";
}

// The time since a save comes from the steady clock while the machine has not rebooted since,
// from the wall clock after a reboot, and is never less than nothing.
struct TimeAway
{
    const char *name;
    bool sameBoot;
    int64_t steadyMicroseconds;     // how much earlier the save is made to look on each clock
    int64_t wallMicroseconds;
    int awayMilliseconds;           // the time the move has gone on for since the save
};

void PrintTo(const TimeAway &away, std::ostream *out)
{
    *out << away.name;
}

class EmulatorUnitTimeAway : public testing::TestWithParam<TimeAway>
{
};

TEST_P(EmulatorUnitTimeAway, AMoveGoesOnForTheTimeAway)
{
    const TimeAway &away = GetParam();
    Bench bench;
    bench.boot();
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);    // 6400 counts in 1 s
    bench.wait(250);
    std::string saved = bench.unit().saveState(bench.now());
    saved = shiftedBack(saved, "savedAtSteady", away.steadyMicroseconds);
    saved = shiftedBack(saved, "savedAt", away.wallMicroseconds);
    if (!away.sameBoot)
        saved = withValue(saved, "bootId", [](const std::string &) { return "another-boot"; });

    Bench other;
    ASSERT_TRUE(other.unit().restoreState(saved, other.now()));
    const MotorState motor = other.unit().motorState(other.now());
    const int32_t expected = std::min(6400, (250 + away.awayMilliseconds) * 64 / 10);
    EXPECT_GE(motor.position, expected);
    EXPECT_LE(motor.position, std::min(6400, expected + 640)) << "well within the time a save and restore take";
    EXPECT_EQ(motor.moving, expected < 6400);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, EmulatorUnitTimeAway,
    testing::Values(TimeAway{"SteadyClockWithinABoot", true, 500000, 0, 500},
                    TimeAway{"WallClockAfterAReboot", false, 0, 500000, 500},
                    TimeAway{"NotTheWallClockWithinABoot", true, 0, 500000, 0},
                    TimeAway{"NotTheSteadyClockAfterAReboot", false, 500000, 0, 0},
                    TimeAway{"ASaveFromTheFutureCountsAsJustNow", false, 0, -5000000, 0},
                    TimeAway{"LongAwayTheMoveHasEnded", true, 3000000, 0, 3000}),
    [](const testing::TestParamInfo<TimeAway> &info) { return std::string(info.param.name); });

TEST(EmulatorUnitState, OutOfRangeTimesAndNumbersAreRefused)
{
    Bench bench;
    bench.boot();
    EXPECT_EQ(bench.status(s_move, moveBy(400)), 0);
    const std::string saved = bench.unit().saveState(bench.now());
    const std::pair<const char *, const char *> changes[] = {
        {"motor.moveElapsed", "9223372036854775807"}, {"motor.moveElapsed", "-1"}, {"firmwareUpIn", "-9223372036854775807"},
        {"savedAt", "-5"}, {"savedAtSteady", "99999999999999999999"}, {"motor.origin", "2147483648"},
        {"setup.pageSize", "65536"}, {"record.pwmSettings", "0g"}};
    for (const auto &change : changes) {
        const std::string text = withValue(saved, change.first, [&](const std::string &) { return change.second; });
        EXPECT_FALSE(bench.unit().restoreState(text, bench.now())) << change.first << "=" << change.second;
        EXPECT_TRUE(bench.unit().motorState(bench.now()).moving);
    }
}

TEST(EmulatorUnitState, TextThatDoesNotParseChangesNothing)
{
    Bench bench;
    bench.boot();
    bench.unit().setPosition(42, bench.now());
    const std::string saved = bench.unit().saveState(bench.now());
    std::string brokenRecord = saved;
    brokenRecord.replace(brokenRecord.find("record.block26=") + 15, 2, "");
    for (const std::string &text : {std::string(), std::string("velmor-unit-state 1\n"), brokenRecord,
                                    saved.substr(0, saved.size() / 2), std::string("hello\n") + saved}) {
        EXPECT_FALSE(bench.unit().restoreState(text, bench.now()));
        EXPECT_EQ(bench.unit().motorState(bench.now()).position, 42);
        EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Firmware);
    }
}

} // namespace
