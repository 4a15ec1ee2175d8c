// Many host threads calling the exports at once on a two-unit bench. The calls must run one
// after another: no call touches the bus while another call's unit is open, every call returns
// its code, and the units end as the order in which the calls opened them implies.
#include "Bench.h"
#include "VelmorLib.h"

#include <QElapsedTimer>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <thread>

// Every call constructs its engine, a QThread, on whichever host thread makes it. Qt 5 keeps
// some thread data for each QThread constructed on a thread it did not start itself; that is
// Qt's, not a leak of ours. Full stacks let the leak checker name QThread's constructor.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:QThread::QThread\n";
}

namespace {

using namespace bench;
using velmor_firmware::ReceivedPacket;
using velmor_firmware::RecordKind;
using Bytes = std::vector<uint8_t>;

// What a unit should hold once the calls are done, as far as they set it.
struct Expected
{
    std::map<RecordKind, std::map<size_t, uint8_t>> recordBytes;  // record, offset: byte
    int32_t position = 0;                                          // full steps
    std::optional<bool> motorOn;
    std::optional<bool> relayOn;

    void put(RecordKind kind, size_t offset, const Bytes &bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i)
            recordBytes[kind][offset + i] = bytes[i];
    }
};

Bytes littleEndian(uint32_t value, size_t size)
{
    Bytes bytes;
    for (size_t i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
}

Bytes operator+(Bytes left, const Bytes &right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

// One export call a thread makes: the unit it opens (0: none, or a search of them all), the
// call itself, which may store a value it read, and how it moves the expected state along, or
// checks what it read against it.
struct Call
{
    std::string name;
    int32_t device = 0;
    std::function<int32_t(int32_t *read)> make;
    std::function<void(Expected &, int32_t read)> follow;
};

Call moveBy(int32_t device, int32_t steps)
{
    return {"moveMotorRelative " + std::to_string(steps), device,
            [=](int32_t *) { return moveMotorRelative(device, steps); },
            [=](Expected &expected, int32_t) { expected.position += steps; }};
}

Call zero(int32_t device)
{
    return {"zeroMotorPosition", device, [=](int32_t *) { return zeroMotorPosition(device); },
            [](Expected &expected, int32_t) { expected.position = 0; }};
}

Call readPosition(int32_t device)
{
    return {"getAbsolutePosition", device, [=](int32_t *read) { return getAbsolutePosition(device, read); },
            [](Expected &expected, int32_t read) { EXPECT_EQ(read, expected.position) << "getAbsolutePosition"; }};
}

// Each move is over long before the next call reaches the unit, so the motor is always ready.
Call readReadiness(int32_t device)
{
    return {"isMotorReady", device,
            [=](int32_t *read) {
                uint8_t ready = 9;
                const int32_t code = isMotorReady(device, &ready);
                *read = ready;
                return code;
            },
            [](Expected &, int32_t read) { EXPECT_EQ(read, 1) << "isMotorReady"; }};
}

Call speed(int32_t device, int32_t stepsPerSecond, int32_t stepMode)
{
    return {"setMotorSpeed " + std::to_string(stepsPerSecond), device,
            [=](int32_t *) { return setMotorSpeed(device, stepsPerSecond, stepMode); },
            [=](Expected &expected, int32_t) {
                const Bytes speedBytes = littleEndian(uint32_t(stepsPerSecond), 2);
                expected.put(RecordKind::MotionConfiguration, 0, Bytes{uint8_t(stepMode)} + speedBytes + speedBytes);
            }};
}

Call acceleration(int32_t device, int32_t stepsPerSecondSquared)
{
    return {"setMotorAcceleration " + std::to_string(stepsPerSecondSquared), device,
            [=](int32_t *) { return setMotorAcceleration(device, stepsPerSecondSquared); },
            [=](Expected &expected, int32_t) {
                expected.put(RecordKind::MotionConfiguration, 5,
                             littleEndian(uint32_t(stepsPerSecondSquared * 10), 4) + Bytes{stepsPerSecondSquared != 0});
            }};
}

Call current(int32_t device, int32_t milliamperes, bool flag)
{
    return {"setMotorCurrent " + std::to_string(milliamperes), device,
            [=](int32_t *) { return setMotorCurrent(device, milliamperes, flag); },
            [=](Expected &expected, int32_t) {
                expected.put(RecordKind::MotorConfiguration, 2, littleEndian(uint32_t(milliamperes), 2));
                expected.put(RecordKind::MotorConfiguration, 6, {flag});
            }};
}

Call backlash(int32_t device, bool enabled, uint32_t direction, int32_t amount)
{
    return {"setBacklashCompensation " + std::to_string(amount), device,
            [=](int32_t *) { return setBacklashCompensation(device, enabled, direction, amount); },
            [=](Expected &expected, int32_t) {
                expected.put(RecordKind::AdvancedMoveConfiguration, 0,
                             Bytes{enabled, uint8_t(direction)} + littleEndian(uint32_t(amount), 2));
            }};
}

Call home(int32_t device, uint32_t direction, bool flagB, bool flagA, uint32_t valueA, uint32_t valueB)
{
    return {"setHomeSettings " + std::to_string(valueA), device,
            [=](int32_t *) { return setHomeSettings(device, direction, flagB, flagA, valueA, valueB); },
            [=](Expected &expected, int32_t) {
                expected.put(RecordKind::AdvancedMoveConfiguration, 4,
                             Bytes{uint8_t(direction != 0 ? 2 : 1), flagA, flagB} + littleEndian(valueA, 2)
                                 + littleEndian(valueB, 2));
            }};
}

Call power(int32_t device, bool on)
{
    return {on ? "motorOn" : "motorOff", device, [=](int32_t *) { return on ? motorOn(device) : motorOff(device); },
            [=](Expected &expected, int32_t) { expected.motorOn = on; }};
}

Call stop(int32_t device)
{
    return {"stopMotor", device, [=](int32_t *) { return stopMotor(device); }, [](Expected &, int32_t) {}};
}

Call relay(int32_t device, bool on)
{
    return {on ? "setRelay 1" : "setRelay 0", device, [=](int32_t *) { return setRelay(device, on); },
            [=](Expected &expected, int32_t) { expected.relayOn = on; }};
}

// Firmware 4 on hardware 1.2 keeps the PWM value and the PWM step mode.
Call pwm(int32_t device, int32_t value)
{
    return {"setPWM " + std::to_string(value), device, [=](int32_t *) { return setPWM(device, value); },
            [=](Expected &expected, int32_t) { expected.put(RecordKind::PwmSettings, 0, {uint8_t(value), 0}); }};
}

Call pwmStepMode(int32_t device)
{
    return {"setPWMStepMode", device, [=](int32_t *) { return setPWMStepMode(device); },
            [](Expected &expected, int32_t) { expected.put(RecordKind::PwmSettings, 0, {0, 1}); }};
}

// `functions`: the four channels' functions; `behaviours`: polarity and action of both switches.
Call limitSwitches(int32_t device, int32_t input1, uint32_t type1, int32_t input2, uint32_t type2, const Bytes &functions,
                   const Bytes &behaviours)
{
    return {"setLimitSwitches " + std::to_string(input1), device,
            [=](int32_t *) { return setLimitSwitches(device, input1, type1, input2, type2); },
            [=](Expected &expected, int32_t) {
                expected.put(RecordKind::InputConfiguration, 0, functions);
                expected.put(RecordKind::InputConfiguration, 6, behaviours);
            }};
}

Call count()
{
    return {"getDeviceCount", 0, [](int32_t *read) { return getDeviceCount(read); },
            [](Expected &, int32_t read) { EXPECT_EQ(read, 2) << "getDeviceCount"; }};
}

Call indexOf(const char *serial, int32_t index)
{
    return {std::string("getDeviceIndex ") + serial, 0, [=](int32_t *read) { return getDeviceIndex(serial, read); },
            [=](Expected &, int32_t read) { EXPECT_EQ(read, index) << "getDeviceIndex " << serial; }};
}

constexpr int32_t kMover = 1;     // the unit that moves
constexpr int32_t kSettings = 2;  // the unit whose settings change

// Every thread's calls, in the order the thread makes them. The last thread searches the units;
// all others open one unit per call.
std::vector<std::vector<Call>> plans()
{
    return {
        {moveBy(kMover, 3), moveBy(kMover, -1), moveBy(kMover, 4), moveBy(kMover, 2)},
        {moveBy(kMover, 5), moveBy(kMover, -2), moveBy(kMover, 1), moveBy(kMover, -6)},
        {readPosition(kMover), zero(kMover), readReadiness(kMover), readPosition(kMover)},
        {current(kMover, 1100, true), current(kMover, 1250, false), power(kMover, true), current(kMover, 1300, true)},
        {speed(kSettings, 500, 1), speed(kSettings, 700, 2), speed(kSettings, 900, 0)},
        {speed(kSettings, 600, 0), speed(kSettings, 800, 1), speed(kSettings, 1000, 2)},
        {acceleration(kSettings, 40), acceleration(kSettings, 0), acceleration(kSettings, 75)},
        {backlash(kSettings, true, 0, 30), backlash(kSettings, false, 1, 45), backlash(kSettings, true, 1, 60)},
        {home(kSettings, 1, false, true, 100, 200), home(kSettings, 0, true, false, 300, 400),
         home(kSettings, 1, true, true, 10000, 0)},
        {power(kSettings, false), relay(kSettings, true), pwm(kSettings, 40), power(kSettings, true),
         relay(kSettings, false), limitSwitches(kSettings, 1, 3, 2, 6, {0x20, 0x21, 0xFF, 0xFF}, {0, 2, 1, 1}),
         stop(kSettings)},
        {pwmStepMode(kSettings), relay(kSettings, true), pwm(kSettings, 70),
         limitSwitches(kSettings, 3, 1, 4, 2, {0xFF, 0xFF, 0x20, 0x21}, {0, 0, 1, 0}), power(kSettings, false)},
        {count(), indexOf("JXAH001020002", kSettings), indexOf("jxah001020001", kMover), count()},
    };
}

struct Outcome
{
    int32_t code = -1;
    int32_t read = 0;
};

struct ThreadRun
{
    std::thread::id id;
    std::vector<Outcome> outcomes;
};

// Runs every plan in a thread of its own, all starting together.
std::vector<ThreadRun> runAtOnce(const std::vector<std::vector<Call>> &threadPlans)
{
    std::vector<ThreadRun> runs(threadPlans.size());
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<std::thread> threads;
    for (size_t t = 0; t < threadPlans.size(); ++t) {
        threads.emplace_back([&, t] {
            runs[t].id = std::this_thread::get_id();
            start.wait();
            for (const Call &call : threadPlans[t]) {
                Outcome outcome;
                outcome.code = call.make(&outcome.read);
                runs[t].outcomes.push_back(outcome);
            }
        });
    }
    go.set_value();
    for (std::thread &thread : threads)
        thread.join();
    return runs;
}

int32_t positionOnceStill(int32_t device)
{
    QElapsedTimer clock;
    clock.start();
    uint8_t ready = 0;
    while (!ready && clock.elapsed() < 3000)
        EXPECT_EQ(isMotorReady(device, &ready), VELMOR_OK);
    int32_t position = 0;
    EXPECT_EQ(getAbsolutePosition(device, &position), VELMOR_OK);
    return position;
}

void expectUnitHolds(size_t unit, const Expected &expected)
{
    for (const auto &record : expected.recordBytes) {
        const Bytes held = VelmorEmulator::unit(unit).recordBytes(record.first);
        for (const auto &byte : record.second) {
            ASSERT_LT(byte.first, held.size());
            EXPECT_EQ(int(held[byte.first]), int(byte.second))
                << "unit " << unit << " record " << int(record.first) << " byte " << byte.first;
        }
    }
    const velmor_firmware::MotorState state = VelmorEmulator::unit(unit).motorState();
    if (expected.motorOn) {
        EXPECT_EQ(state.motorOn, *expected.motorOn) << "unit " << unit;
    }
    if (expected.relayOn) {
        EXPECT_EQ(state.relayOn, *expected.relayOn) << "unit " << unit;
    }
}

TEST(Concurrency, MixedCallsFromManyThreadsRunOneAfterAnother)
{
    set({ft232r("JXah001020001", 2, 1), ft232r("JXah001020002", 4, 0)});
    ASSERT_EQ(initialise(), VELMOR_OK);
    const std::vector<std::vector<Call>> threadPlans = plans();
    const size_t searcher = threadPlans.size() - 1;
    const std::vector<ThreadRun> runs = runAtOnce(threadPlans);

    for (size_t t = 0; t < runs.size(); ++t) {
        for (size_t i = 0; i < runs[t].outcomes.size(); ++i)
            EXPECT_EQ(runs[t].outcomes[i].code, VELMOR_OK) << "thread " << t << ": " << threadPlans[t][i].name;
    }
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 1u);
    EXPECT_EQ(VelmorEmulator::callsBesideAnotherThreadsHandle(), 0u);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    // the first use of each index ran its handshake exactly once, whoever came first
    EXPECT_EQ(startCommandsReceived(0), 1u);
    EXPECT_EQ(startCommandsReceived(1), 1u);

    // The unit openings give the calls' serial order: follow the calls along it.
    std::map<std::thread::id, size_t> threadOf;
    for (size_t t = 0; t < runs.size(); ++t)
        threadOf[runs[t].id] = t;
    std::vector<size_t> next(runs.size(), 0);
    Expected expected[2];
    for (const VelmorEmulator::CallRecord &record : VelmorEmulator::calls()) {
        if (record.function != "FT_Open" || record.status != 0)
            continue;
        ASSERT_EQ(threadOf.count(record.thread), 1u);
        const size_t t = threadOf[record.thread];
        if (t == searcher)
            continue;
        ASSERT_LT(next[t], threadPlans[t].size()) << "thread " << t << " opened a unit more often than it called";
        const Call &call = threadPlans[t][next[t]];
        const int32_t device = VelmorEmulator::unitOfInterface(record.interfaceIndex) + 1;
        ASSERT_EQ(device, call.device) << "thread " << t << ": " << call.name;
        call.follow(expected[device - 1], runs[t].outcomes[next[t]].read);
        ++next[t];
    }
    for (size_t t = 0; t < searcher; ++t)
        EXPECT_EQ(next[t], threadPlans[t].size()) << "thread " << t;
    for (size_t i = 0; i < threadPlans[searcher].size(); ++i)
        threadPlans[searcher][i].follow(expected[0], runs[searcher].outcomes[i].read);

    expectUnitHolds(0, expected[0]);
    expectUnitHolds(1, expected[1]);
    EXPECT_EQ(positionOnceStill(kMover), expected[0].position);
}

} // namespace
