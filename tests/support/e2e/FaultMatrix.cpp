#include "FaultMatrix.h"

#include "CallTrace.h"
#include "VelmorLib.h"

#include <gtest/gtest.h>
#include <iostream>
#include <sstream>

namespace matrix {

namespace {

using Milliseconds = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr int kStartupWaitMs = 600;
constexpr int kSettleWaitMs = 50;
// Room for a loaded two-core machine above the waits and time-outs a call must take.
constexpr int kMarginMs = 2500;
constexpr uint32_t kIoError = 4;

// The firmware majors each hardware version takes, the hardware read from the unit's serial.
bool accepts(const std::string &serial, uint16_t firmwareMajor)
{
    const int major = std::stoi(serial.substr(4, 3));
    const int minor = std::stoi(serial.substr(7, 2));
    if (major == 1 && minor == 1)
        return firmwareMajor == 2;
    if (major == 1 && minor == 2)
        return firmwareMajor >= 2 && firmwareMajor <= 4;
    if ((major == 10 || major == 27) && minor == 1)
        return firmwareMajor == 1;
    return false;
}

std::string join(const std::vector<std::string> &parts)
{
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}

} // namespace

FaultMatrix::FaultMatrix(std::string title)
    : m_title(std::move(title))
{
}

int32_t FaultMatrix::expectedCode(const Cell &cell)
{
    return cell.target->codeFor(cell.stage);
}

Handshake FaultMatrix::expectedHandshake(const Cell &cell)
{
    if (cell.phase == Phase::Warm)
        return Handshake::Done;
    if (cell.target->kind == ExportUnderTest::Counts)
        return Handshake::Pending;
    switch (cell.stage) {
    case Stage::Listing:
    case Stage::Opening:
    case Stage::StartCommand:
        return Handshake::Pending;
    case Stage::Information:
    case Stage::InvalidInformation:
        return Handshake::StartedOnly;
    default:
        return Handshake::Done;
    }
}

int FaultMatrix::waitsMs(const Cell &cell)
{
    if (cell.target->kind == ExportUnderTest::Counts)
        return 0;
    int waits = 0;
    if (cell.phase == Phase::FirstUse && cell.stage >= Stage::Information)
        waits += kStartupWaitMs;
    if (cell.stage >= Stage::FirstRequest)
        waits += kSettleWaitMs;
    return waits;
}

size_t FaultMatrix::run(const std::vector<Cell> &cells)
{
    prime();
    std::vector<std::string> failing;
    for (const Cell &cell : cells) {
        const std::string problems = runCell(cell);
        if (!problems.empty())
            failing.push_back(describe(cell) + ": " + problems);
    }
    const size_t passing = cells.size() - failing.size();
    std::cout << "[ matrix   ] " << m_title << ": " << cells.size() << " cells run, " << passing << " passing\n";
    for (const std::string &line : failing)
        std::cout << "[ failing  ] " << line << "\n";
    std::cout.flush();
    EXPECT_TRUE(failing.empty()) << failing.size() << " failing cells in " << m_title;
    return passing;
}

// Leaves index 1 past its handshake with a firmware version hardware 1.2 does not take.
void FaultMatrix::prime()
{
    bench::set({bench::ft232r("JXah00102", 5, 0)});
    initialise();
    const int32_t code = motorOn(1);
    EXPECT_EQ(code, VELMOR_ERROR_FIRMWARE_UNSUPPORTED) << "the handshake with firmware 5.0 that starts " << m_title;
    m_state.handshakeDone = true;
    m_state.cachedMajor = 5;
}

std::string FaultMatrix::warmUp(const bench::UnitOnBus &unit)
{
    if (m_state.handshakeDone && accepts(unit.serial, m_state.cachedMajor))
        return std::string();
    bench::set({unit});
    initialise();
    const int32_t code = motorOn(1);
    m_state.handshakeDone = code == VELMOR_OK;
    m_state.cachedMajor = unit.firmware.firmwareMajor;
    return code == VELMOR_OK ? std::string() : "the handshake before the cell gave " + std::to_string(code);
}

std::string FaultMatrix::runCell(const Cell &cell)
{
    if (cell.phase == Phase::Warm) {
        const std::string notWarm = warmUp(cell.unit);
        if (!notWarm.empty())
            return notWarm;
        bench::set({cell.unit});
        VelmorEmulator::unit(0).startFirmware();
    } else {
        bench::set({cell.unit});
        initialise();
        m_state.handshakeDone = false;
    }
    if (cell.inject)
        cell.inject();

    const auto start = SteadyClock::now();
    const Outcome outcome = cell.target->call();
    const long elapsed = long(std::chrono::duration_cast<Milliseconds>(SteadyClock::now() - start).count());
    VelmorEmulator::clearCallFailures();
    const size_t handles = VelmorEmulator::openHandles().size();
    int32_t listed = -1;
    getDeviceCount(&listed);
    follow(cell);

    std::vector<std::string> problems;
    if (outcome.code != expectedCode(cell))
        problems.push_back("code " + std::to_string(outcome.code));
    const std::optional<int64_t> out = cell.target->expectedOut(cell.stage, outcome.code);
    if (out && *out != outcome.out)
        problems.push_back("out-value " + std::to_string(outcome.out) + " (expected " + std::to_string(*out) + ")");
    const long lower = waitsMs(cell) + cell.minExtraMs;
    const long upper = waitsMs(cell) + cell.maxExtraMs + kMarginMs;
    if (elapsed < lower || elapsed > upper)
        problems.push_back("took " + std::to_string(elapsed) + " ms");
    if (handles != 0)
        problems.push_back(std::to_string(handles) + " handles left open");
    if (listed != (cell.unitLeaves ? 0 : 1))
        problems.push_back("the bus lists " + std::to_string(listed) + " units after the call");
    const std::string probeProblem = checkProbe(cell.unit, probe(cell.unit));
    if (!probeProblem.empty())
        problems.push_back(probeProblem);
    return join(problems);
}

void FaultMatrix::follow(const Cell &cell)
{
    switch (expectedHandshake(cell)) {
    case Handshake::Pending:
        m_state.handshakeDone = false;
        break;
    case Handshake::StartedOnly:
        m_state.handshakeDone = true;
        break;
    case Handshake::Done:
        m_state.handshakeDone = true;
        if (cell.phase == Phase::FirstUse)
            m_state.cachedMajor = cell.unit.firmware.firmwareMajor;
        break;
    }
}

FaultMatrix::Probe FaultMatrix::probe(const bench::UnitOnBus &unit)
{
    bench::set({unit});
    VelmorEmulator::unit(0).startFirmware();
    VelmorEmulator::failCall("FT_Write", kIoError, 0, 1);
    Probe observed;
    observed.code = motorOn(1);
    const std::vector<VelmorEmulator::CallRecord> writes = trace::callsTo("FT_Write");
    observed.startCommandAttempted = !writes.empty() && writes.front().arguments == std::vector<uint64_t>({1, 0x03});
    VelmorEmulator::clearCallFailures();
    return observed;
}

std::string FaultMatrix::checkProbe(const bench::UnitOnBus &unit, const Probe &observed)
{
    std::string problem;
    const bool accepted = accepts(unit.serial, m_state.cachedMajor);
    const int32_t expected = !m_state.handshakeDone ? VELMOR_ERROR_START_COMMAND
                           : accepted              ? VELMOR_ERROR_MOTOR_ON_FAILED
                                                   : VELMOR_ERROR_FIRMWARE_UNSUPPORTED;
    if (observed.startCommandAttempted == m_state.handshakeDone || observed.code != expected) {
        problem = std::string("next call ") + (observed.startCommandAttempted ? "started the unit again" : "skipped the handshake")
                + " with code " + std::to_string(observed.code) + " (expected " + std::to_string(expected) + ")";
    }
    if (!VelmorEmulator::openHandles().empty())
        problem += (problem.empty() ? "" : ", ") + std::string("next call left handles open");
    // Follow what the library holds, so that one wrong state does not fail every cell after it.
    m_state.handshakeDone = !observed.startCommandAttempted;
    if (m_state.handshakeDone && observed.code == VELMOR_ERROR_FIRMWARE_UNSUPPORTED && accepted)
        m_state.cachedMajor = 0;
    if (m_state.handshakeDone && observed.code == VELMOR_ERROR_MOTOR_ON_FAILED && !accepted)
        m_state.cachedMajor = unit.firmware.firmwareMajor;
    return problem;
}

std::string FaultMatrix::describe(const Cell &cell)
{
    std::ostringstream text;
    text << cell.target->name << " | " << cell.fault << " | " << cell.exchange << " | " << nameOf(cell.phase)
         << " -> code " << expectedCode(cell) << ", handshake " << nameOf(expectedHandshake(cell)) << ", "
         << waitsMs(cell) + cell.minExtraMs << ".." << waitsMs(cell) + cell.maxExtraMs + kMarginMs << " ms";
    return text.str();
}

} // namespace matrix
