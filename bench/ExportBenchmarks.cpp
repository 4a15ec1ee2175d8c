// Wall and CPU time of every export against the emulated units, each beside its floor: the
// waits the library must make and the time the exchanged bytes need on the line. Calls on a unit
// run both as usual and on a held unit; then status polling on held units, and the longest wait
// for the library's lock when many threads call at once.
#include "ExchangeFloor.h"
#include "VelmorEmulator.h"
#include "VelmorLib.h"
#include "VelmorLibExtras.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <thread>

namespace {

constexpr double kSettleWaitMs = 50.0;
constexpr double kStartupWaitMs = 600.0;

using Call = std::function<int32_t()>;
using Clock = std::chrono::steady_clock;

// How a measured call finds its unit: its first use (start-up handshake), warm and opened by the
// call, or warm and held open between calls.
enum class Use { First, Warm, Held };

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::string serialOf(size_t unitNumber)
{
    const std::string number = std::to_string(unitNumber % 10000);
    return "JXah00102" + std::string(4 - number.size(), '0') + number;
}

// The bench in use and the index whose handshake is done (0: none).
size_t s_units = 0;
int32_t s_warmIndex = 0;

// `count` FT232R units of hardware 1.2 running firmware 2.1, whose motors always read ready.
void useUnits(size_t count)
{
    if (s_units == count)
        return;
    // A held unit's handle would outlive the bench it belongs to.
    velmorReleaseAllUnits();
    std::vector<VelmorEmulator::UnitOnBus> units(count);
    for (size_t i = 0; i < count; ++i) {
        units[i].serial = serialOf(i + 1);
        units[i].firmware.firmwareMajor = 2;
        units[i].firmware.firmwareMinor = 1;
    }
    VelmorEmulator::setBench(units);
    for (size_t i = 0; i < count; ++i)
        VelmorEmulator::unit(i).forceReadyByte(uint8_t(1));
    s_units = count;
    s_warmIndex = 0;
}

bool warmUp(benchmark::State &state, int32_t index)
{
    if (s_warmIndex == index)
        return true;
    uint8_t ready = 0;
    if (initialise() != 0 || isMotorReady(index, &ready) != 0) {
        state.SkipWithError("the handshake failed");
        return false;
    }
    s_warmIndex = index;
    return true;
}

// Holds the unit at `index` for a held call and releases every unit for any other.
bool useHolding(benchmark::State &state, Use use, int32_t index)
{
    if (use != Use::Held) {
        velmorReleaseAllUnits();
        return true;
    }
    if (velmorHoldUnit(index) != 0) {
        state.SkipWithError("holding the unit failed");
        return false;
    }
    return true;
}

// A unit takes a move only with its motor on and at rest; earlier calls may have left it off or
// moving.
void readyToMove(int32_t index)
{
    velmor_firmware::Unit &unit = VelmorEmulator::unit(static_cast<size_t>(index - 1));
    unit.clearReceivedPackets();
    unit.setMotorOn(true);
    unit.setPosition(0);
}

// Runs `call` once per iteration on a bench of `units` units, recording the bytes it
// exchanged; `waitsMs` are the waits the call must make.
void measure(benchmark::State &state, size_t units, int32_t index, double waitsMs, Use use, const Call &call)
{
    const bool firstUse = use == Use::First;
    useUnits(units);
    int32_t code = 0;
    std::vector<VelmorEmulator::CallRecord> calls;
    for (auto _ : state) {
        state.PauseTiming();
        if (firstUse) {
            initialise();
            s_warmIndex = 0;
        } else if (!warmUp(state, index) || !useHolding(state, use, index)) {
            return;
        }
        VelmorEmulator::clearCalls();
        readyToMove(index);
        state.ResumeTiming();
        code = call();
        state.PauseTiming();
        calls = VelmorEmulator::calls();
        if (firstUse)
            s_warmIndex = index;
        state.ResumeTiming();
    }
    if (code != 0) {
        state.SkipWithError(("the call returned " + std::to_string(code)).c_str());
        return;
    }
    ExchangeFloor::Line line;
    const VelmorEmulator::InterfaceSettings settings = VelmorEmulator::interfaceSettings(index - 1);
    if (settings.baudRate != 0)
        line.baudRate = settings.baudRate;
    line.latencyMs = settings.latencyMs;
    const std::vector<Exchange> exchanges = ExchangeFloor::exchangesOf(calls);
    const ExchangeFloor floor(line);
    uint64_t bytes = 0;
    double exchangeOverMs = 0.0;
    for (const Exchange &exchange : exchanges) {
        bytes += exchange.requestBytes + exchange.replyBytes;
        exchangeOverMs += exchange.measuredMs() - floor.exchangeMs(exchange);
    }
    state.counters["floor_ms"] = floor.floorMs(waitsMs, exchanges);
    // How much of the time above the floor the exchanges took (poll steps overshooting, reads);
    // the rest is the waits overshooting and the work around them (listing, open, close).
    state.counters["exchange_over_ms"] = exchangeOverMs;
    state.counters["exchanges"] = static_cast<double>(exchanges.size());
    state.counters["bytes"] = static_cast<double>(bytes);
}

void registerCall(const std::string &name, size_t units, int32_t index, double waitsMs, Use use, Call call)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State &state) {
        measure(state, units, index, waitsMs, use, call);
    })->Iterations(1)->Unit(benchmark::kMillisecond);
}

// A call on unit 1, warm, as "export/<name>" and beside it on the held unit as "held/<name>",
// where it makes no settling wait.
void registerWarmAndHeld(const std::string &name, Call call)
{
    registerCall("export/" + name, 1, 1, kSettleWaitMs, Use::Warm, call);
    registerCall("held/" + name, 1, 1, 0.0, Use::Held, call);
}

// Fills a companion structure whose first member is its size.
template <typename Record>
int32_t readRecord(int32_t (*read)(int32_t, Record *), int32_t index)
{
    Record record{};
    record.size = sizeof(Record);
    return read(index, &record);
}

// Moves alternate in direction so that the motor stays near its origin and every move sends.
int32_t alternating(int32_t magnitude)
{
    static bool forward = false;
    forward = !forward;
    return forward ? magnitude : -magnitude;
}

void registerExports()
{
    registerCall("export/initialise", 1, 1, 0.0, Use::Warm, [] { return initialise(); });
    registerCall("export/getDeviceCount", 1, 1, 0.0, Use::Warm, [] {
        int32_t count = 0;
        return getDeviceCount(&count);
    });
    registerWarmAndHeld("getDeviceIndex", [] {
        int32_t index = 0;
        const std::string serial = serialOf(1);
        return getDeviceIndex(serial.c_str(), &index);
    });
    registerWarmAndHeld("motorOn", [] { return motorOn(1); });
    registerWarmAndHeld("motorOff", [] { return motorOff(1); });
    registerWarmAndHeld("stopMotor", [] { return stopMotor(1); });
    registerWarmAndHeld("zeroMotorPosition", [] { return zeroMotorPosition(1); });
    registerWarmAndHeld("moveMotorAbsolute", [] { return moveMotorAbsolute(1, alternating(1000)); });
    registerWarmAndHeld("moveMotorRelative", [] { return moveMotorRelative(1, alternating(10)); });
    registerWarmAndHeld("moveMotorHome", [] { return moveMotorHome(1); });
    registerWarmAndHeld("getAbsolutePosition", [] {
        int32_t position = 0;
        return getAbsolutePosition(1, &position);
    });
    registerWarmAndHeld("isMotorReady", [] {
        uint8_t ready = 0;
        return isMotorReady(1, &ready);
    });
    registerWarmAndHeld("setMotorSpeed", [] { return setMotorSpeed(1, 400, 3); });
    registerWarmAndHeld("setMotorAcceleration", [] { return setMotorAcceleration(1, 5); });
    registerWarmAndHeld("setMotorCurrent", [] { return setMotorCurrent(1, 1500, 1); });
    registerWarmAndHeld("setBacklashCompensation", [] { return setBacklashCompensation(1, 1, 1, 200); });
    registerWarmAndHeld("setHomeSettings", [] { return setHomeSettings(1, 1, 0, 1, 10000, 0); });
    registerWarmAndHeld("setLimitSwitches", [] { return setLimitSwitches(1, 1, 1, 2, 4); });
    registerWarmAndHeld("setPWM", [] { return setPWM(1, 50); });
    registerWarmAndHeld("setPWMStepMode", [] { return setPWMStepMode(1); });
    registerWarmAndHeld("setRelay", [] { return setRelay(1, 1); });
    registerWarmAndHeld("velmorGetMotorStatus", [] { return readRecord(velmorGetMotorStatus, 1); });
    registerWarmAndHeld("velmorReadMotionSettings", [] { return readRecord(velmorReadMotionSettings, 1); });
    registerWarmAndHeld("velmorReadMotorSettings", [] { return readRecord(velmorReadMotorSettings, 1); });
    registerWarmAndHeld("velmorReadMoveSettings", [] { return readRecord(velmorReadMoveSettings, 1); });
    registerCall("first/isMotorReady", 1, 1, kStartupWaitMs + kSettleWaitMs, Use::First, [] {
        uint8_t ready = 0;
        return isMotorReady(1, &ready);
    });
}

void listDevices(benchmark::State &state)
{
    const size_t units = static_cast<size_t>(state.range(0));
    useUnits(units);
    int32_t count = 0;
    uint64_t calls = 0;
    for (auto _ : state) {
        // The emulator logs every D2XX call; keep the log short without pausing the clock.
        if (++calls % 256 == 0)
            VelmorEmulator::clearCalls();
        getDeviceCount(&count);
    }
    if (count != static_cast<int32_t>(units))
        state.SkipWithError("wrong count");
    state.counters["units"] = static_cast<double>(units);
    state.counters["floor_ms"] = 0.0;
}

void registerListing()
{
    benchmark::RegisterBenchmark("units/getDeviceCount", listDevices)->Arg(1)->Arg(16)->Arg(64)->Arg(99)->Unit(benchmark::kMicrosecond);
    for (int units : {1, 16, 64, 99}) {
        registerCall("units/isMotorReady/" + std::to_string(units), static_cast<size_t>(units), units, kSettleWaitMs, Use::Warm,
                     [units] {
                         uint8_t ready = 0;
                         return isMotorReady(units, &ready);
                     });
    }
}

// Initialises the library and runs the start-up handshake of units 1 to `units`, so that no
// measured call pays for it.
bool warmAll(benchmark::State &state, int32_t units)
{
    s_warmIndex = 0;
    if (initialise() != 0) {
        state.SkipWithError("initialise failed");
        return false;
    }
    for (int32_t index = 1; index <= units; ++index) {
        uint8_t ready = 0;
        if (isMotorReady(index, &ready) != 0) {
            state.SkipWithError("the handshake failed");
            return false;
        }
        readyToMove(index);
    }
    return true;
}

bool holdAll(benchmark::State &state, int32_t units)
{
    for (int32_t index = 1; index <= units; ++index) {
        if (!useHolding(state, Use::Held, index))
            return false;
    }
    return true;
}

// velmorGetMotorStatus on held units 1 to `units`, one after another: polls a second over all
// units, and status updates a second of each unit.
void pollHeldStatus(benchmark::State &state)
{
    const auto units = static_cast<int32_t>(state.range(0));
    useUnits(static_cast<size_t>(units));
    if (!warmAll(state, units) || !holdAll(state, units))
        return;
    uint64_t polls = 0;
    uint64_t failed = 0;
    for (auto _ : state) {
        const int32_t index = 1 + static_cast<int32_t>(polls % static_cast<uint64_t>(units));
        if (readRecord(velmorGetMotorStatus, index) != 0)
            ++failed;
        // The emulator logs every D2XX call; keep the log short without pausing the clock.
        if (++polls % 256 == 0)
            VelmorEmulator::clearCalls();
    }
    velmorReleaseAllUnits();
    state.SetItemsProcessed(static_cast<int64_t>(polls));
    state.counters["units"] = units;
    state.counters["updates_per_unit"] = benchmark::Counter(double(polls) / units, benchmark::Counter::kIsRate);
    state.counters["failed"] = static_cast<double>(failed);
}

// One call of a contention run, as its thread saw it.
struct TimedCall
{
    Clock::time_point start;
    Clock::time_point end;
    int32_t code = 0;
};

// Moves, reads and settings, spread over units 1 and 2 and varied from thread to thread. A unit
// refuses a move while its motor still moves: the moves are single steps without a ramp, over
// long before the next call reaches the unit.
bool moveWithoutRamp(benchmark::State &state, int32_t units)
{
    for (int32_t index = 1; index <= units; ++index) {
        if (setMotorAcceleration(index, 0) != 0) {
            state.SkipWithError("setting no ramp failed");
            return false;
        }
    }
    return true;
}

int32_t mixedCall(int thread, int call)
{
    const int32_t index = 1 + (thread + call / 2) % 2;
    int32_t position = 0;
    uint8_t ready = 0;
    switch ((thread * 5 + call) % 6) {
    case 0:
        return moveMotorRelative(index, call % 2 == 0 ? 1 : -1);
    case 1:
        return getAbsolutePosition(index, &position);
    case 2:
        return isMotorReady(index, &ready);
    case 3:
        return setMotorSpeed(index, 400, 3);
    case 4:
        return setMotorCurrent(index, 1500, 1);
    default:
        return readRecord(velmorGetMotorStatus, index);
    }
}

// Every thread makes its calls one after another; all threads start together.
std::vector<std::vector<TimedCall>> callFromThreads(int threads, int callsEach, std::vector<std::thread::id> &ids)
{
    std::vector<std::vector<TimedCall>> timed(static_cast<size_t>(threads));
    ids.assign(static_cast<size_t>(threads), std::thread::id());
    std::promise<void> go;
    std::shared_future<void> start = go.get_future().share();
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t) {
        running.emplace_back([&, t] {
            ids[size_t(t)] = std::this_thread::get_id();
            start.wait();
            for (int c = 0; c < callsEach; ++c) {
                TimedCall call;
                call.start = Clock::now();
                call.code = mixedCall(t, c);
                call.end = Clock::now();
                timed[size_t(t)].push_back(call);
            }
        });
    }
    go.set_value();
    for (std::thread &thread : running)
        thread.join();
    return timed;
}

// Per call, the library starts working on it at its first D2XX call (it takes its lock before
// any): the wait is the time before that, the call's own time the rest.
struct LockFigures
{
    double longestWaitMs = 0.0;
    double longestOwnMs = 0.0;
    double longestTotalMs = 0.0;
    uint64_t failed = 0;
    uint64_t withoutD2xxCall = 0;  // calls whose start could not be seen: counted as all wait
    uint64_t opens = 0;            // units opened during the run (none when they are held)
};

LockFigures lockFiguresOf(const std::vector<std::vector<TimedCall>> &timed, const std::vector<std::thread::id> &ids)
{
    std::map<std::thread::id, std::vector<Clock::time_point>> d2xxTimes;
    LockFigures figures;
    for (const VelmorEmulator::CallRecord &record : VelmorEmulator::calls()) {
        d2xxTimes[record.thread].push_back(record.time);
        figures.opens += record.function == "FT_Open" || record.function == "FT_OpenEx";
    }
    for (size_t t = 0; t < timed.size(); ++t) {
        std::vector<Clock::time_point> &times = d2xxTimes[ids[t]];
        std::sort(times.begin(), times.end());
        for (const TimedCall &call : timed[t]) {
            const auto first = std::lower_bound(times.begin(), times.end(), call.start);
            const bool seen = first != times.end() && *first <= call.end;
            const Clock::time_point working = seen ? *first : call.end;
            figures.withoutD2xxCall += !seen;
            figures.longestWaitMs = std::max(figures.longestWaitMs, millisecondsBetween(call.start, working));
            figures.longestOwnMs = std::max(figures.longestOwnMs, millisecondsBetween(working, call.end));
            figures.longestTotalMs = std::max(figures.longestTotalMs, millisecondsBetween(call.start, call.end));
            figures.failed += call.code != 0;
        }
    }
    return figures;
}

// `threads` threads of `callsEach` mixed calls on two units, held or not: the longest wait for
// the library's lock against the bound a fair lock keeps, every other thread's call once
// before it: threads times the longest call, plus 10 %.
void contend(benchmark::State &state, Use use, int threads, int callsEach)
{
    useUnits(2);
    if (!warmAll(state, 2) || (use == Use::Held && !holdAll(state, 2)) || !moveWithoutRamp(state, 2))
        return;
    LockFigures figures;
    for (auto _ : state) {
        state.PauseTiming();
        VelmorEmulator::clearCalls();
        state.ResumeTiming();
        std::vector<std::thread::id> ids;
        const std::vector<std::vector<TimedCall>> timed = callFromThreads(threads, callsEach, ids);
        state.PauseTiming();
        figures = lockFiguresOf(timed, ids);
        state.ResumeTiming();
    }
    velmorReleaseAllUnits();
    state.counters["threads"] = threads;
    state.counters["calls"] = threads * callsEach;
    state.counters["longest_wait_ms"] = figures.longestWaitMs;
    state.counters["longest_call_ms"] = figures.longestOwnMs;
    state.counters["longest_total_ms"] = figures.longestTotalMs;
    state.counters["bound_ms"] = threads * figures.longestOwnMs * 1.1;
    state.counters["failed"] = static_cast<double>(figures.failed);
    state.counters["unseen_starts"] = static_cast<double>(figures.withoutD2xxCall);
    state.counters["opens"] = static_cast<double>(figures.opens);
}

// Finding the last of `units` started units by its serial number: velmorHoldUnitBySerial reads
// D2XX's list and opens that unit alone, velmorWhereIsUnit opens nothing, getDeviceIndex opens
// every unit up to it.
enum class Lookup { HoldBySerial, WhereIs, DeviceIndex };

int32_t lookUp(Lookup lookup, const std::string &serial, int32_t *index)
{
    switch (lookup) {
    case Lookup::HoldBySerial: return velmorHoldUnitBySerial(serial.c_str(), index);
    case Lookup::WhereIs: return velmorWhereIsUnit(serial.c_str(), index);
    case Lookup::DeviceIndex: break;
    }
    return getDeviceIndex(serial.c_str(), index);
}

void findBySerial(benchmark::State &state, Lookup lookup)
{
    const auto units = static_cast<int32_t>(state.range(0));
    useUnits(static_cast<size_t>(units));
    if (!warmAll(state, units))
        return;
    const std::string serial = serialOf(static_cast<size_t>(units));
    for (auto _ : state) {
        int32_t index = 0;
        const int32_t code = lookUp(lookup, serial, &index);
        state.PauseTiming();
        velmorReleaseAllUnits();
        VelmorEmulator::clearCalls();
        state.ResumeTiming();
        if (code != 0 || index != units) {
            state.SkipWithError("the unit was not found");
            break;
        }
    }
    state.counters["units"] = static_cast<double>(units);
}

void registerLookups()
{
    const std::pair<const char *, Lookup> lookups[] = {{"identity/velmorHoldUnitBySerial", Lookup::HoldBySerial},
                                                       {"identity/velmorWhereIsUnit", Lookup::WhereIs},
                                                       {"identity/getDeviceIndex", Lookup::DeviceIndex}};
    for (const auto &[name, lookup] : lookups) {
        benchmark::RegisterBenchmark(name, [lookup = lookup](benchmark::State &state) { findBySerial(state, lookup); })
            ->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
}

void registerHeldUse()
{
    benchmark::RegisterBenchmark("poll/heldMotorStatus", pollHeldStatus)->Arg(1)->Arg(4)->UseRealTime()->MinTime(1.0)
        ->Repetitions(3)->Unit(benchmark::kMillisecond);
    for (Use use : {Use::Warm, Use::Held}) {
        const std::string name = use == Use::Held ? "fairness/held" : "fairness/unheld";
        benchmark::RegisterBenchmark(name.c_str(), [use](benchmark::State &state) { contend(state, use, 16, 50); })
            ->Iterations(1)->Repetitions(1)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    registerExports();
    registerListing();
    registerHeldUse();
    registerLookups();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
