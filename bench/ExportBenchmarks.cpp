// Wall and CPU time of every export against the emulated units, each beside its floor: the
// waits the library must make and the time the exchanged bytes need on the line.
#include "ExchangeFloor.h"
#include "VelmorEmulator.h"
#include "VelmorLib.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

namespace {

constexpr double kSettleWaitMs = 50.0;
constexpr double kStartupWaitMs = 600.0;

using Call = std::function<int32_t()>;

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

// Runs `call` once per iteration on a bench of `units` units, recording the bytes it
// exchanged; `waitsMs` are the waits the call must make.
void measure(benchmark::State &state, size_t units, int32_t index, double waitsMs, bool firstUse, const Call &call)
{
    useUnits(units);
    int32_t code = 0;
    std::vector<VelmorEmulator::CallRecord> calls;
    for (auto _ : state) {
        state.PauseTiming();
        if (firstUse) {
            initialise();
            s_warmIndex = 0;
        } else if (!warmUp(state, index)) {
            return;
        }
        VelmorEmulator::clearCalls();
        // A unit takes a move only with its motor on and at rest; earlier calls may have left
        // it off or moving.
        velmor_firmware::Unit &unit = VelmorEmulator::unit(static_cast<size_t>(index - 1));
        unit.clearReceivedPackets();
        unit.setMotorOn(true);
        unit.setPosition(0);
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

void registerCall(const std::string &name, size_t units, int32_t index, double waitsMs, bool firstUse, Call call)
{
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State &state) {
        measure(state, units, index, waitsMs, firstUse, call);
    })->Iterations(1)->Unit(benchmark::kMillisecond);
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
    const double open = kSettleWaitMs;
    registerCall("export/initialise", 1, 1, 0.0, false, [] { return initialise(); });
    registerCall("export/getDeviceCount", 1, 1, 0.0, false, [] {
        int32_t count = 0;
        return getDeviceCount(&count);
    });
    registerCall("export/getDeviceIndex", 1, 1, open, false, [] {
        int32_t index = 0;
        const std::string serial = serialOf(1);
        return getDeviceIndex(serial.c_str(), &index);
    });
    registerCall("export/motorOn", 1, 1, open, false, [] { return motorOn(1); });
    registerCall("export/motorOff", 1, 1, open, false, [] { return motorOff(1); });
    registerCall("export/stopMotor", 1, 1, open, false, [] { return stopMotor(1); });
    registerCall("export/zeroMotorPosition", 1, 1, open, false, [] { return zeroMotorPosition(1); });
    registerCall("export/moveMotorAbsolute", 1, 1, open, false, [] { return moveMotorAbsolute(1, alternating(1000)); });
    registerCall("export/moveMotorRelative", 1, 1, open, false, [] { return moveMotorRelative(1, alternating(10)); });
    registerCall("export/moveMotorHome", 1, 1, open, false, [] { return moveMotorHome(1); });
    registerCall("export/getAbsolutePosition", 1, 1, open, false, [] {
        int32_t position = 0;
        return getAbsolutePosition(1, &position);
    });
    registerCall("export/isMotorReady", 1, 1, open, false, [] {
        uint8_t ready = 0;
        return isMotorReady(1, &ready);
    });
    registerCall("export/setMotorSpeed", 1, 1, open, false, [] { return setMotorSpeed(1, 400, 3); });
    registerCall("export/setMotorAcceleration", 1, 1, open, false, [] { return setMotorAcceleration(1, 5); });
    registerCall("export/setMotorCurrent", 1, 1, open, false, [] { return setMotorCurrent(1, 1500, 1); });
    registerCall("export/setBacklashCompensation", 1, 1, open, false, [] { return setBacklashCompensation(1, 1, 1, 200); });
    registerCall("export/setHomeSettings", 1, 1, open, false, [] { return setHomeSettings(1, 1, 0, 1, 10000, 0); });
    registerCall("export/setLimitSwitches", 1, 1, open, false, [] { return setLimitSwitches(1, 1, 1, 2, 4); });
    registerCall("export/setPWM", 1, 1, open, false, [] { return setPWM(1, 50); });
    registerCall("export/setPWMStepMode", 1, 1, open, false, [] { return setPWMStepMode(1); });
    registerCall("export/setRelay", 1, 1, open, false, [] { return setRelay(1, 1); });
    registerCall("first/isMotorReady", 1, 1, kStartupWaitMs + open, true, [] {
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
        registerCall("units/isMotorReady/" + std::to_string(units), static_cast<size_t>(units), units, kSettleWaitMs, false,
                     [units] {
                         uint8_t ready = 0;
                         return isMotorReady(units, &ready);
                     });
    }
}

} // namespace

int main(int argc, char **argv)
{
    registerExports();
    registerListing();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
