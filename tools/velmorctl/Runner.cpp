#include "Runner.h"

#include "Doctor.h"
#include "ExitStatus.h"
#include "HelpText.h"
#include "OpenFailure.h"
#include "ProfileCatalog.h"
#include "Reporter.h"
#include "UnitAddress.h"
#include "UnitCommands.h"
#include "UnitListing.h"
#include "VelmorLib.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Between two tries of a busy unit.
constexpr std::chrono::milliseconds s_retryPause{250};

// Negative when the count cannot be read.
int32_t unitCount()
{
    int32_t count = 0;
    return getDeviceCount(&count) == VELMOR_OK ? count : -1;
}

bool readUnitState(int32_t index, VelmorUnitState *state)
{
    *state = velmor::sized<VelmorUnitState>();
    return velmorGetUnitState(index, state) == VELMOR_OK;
}

bool isBusy(int32_t index)
{
    VelmorUnitState state;
    return readUnitState(index, &state) && OpenFailure::isBusy(state);
}

// Holds the unit a UNIT word names. A serial number is looked for among the USB serial numbers
// D2XX lists, opening no other unit; a unit whose information page carries another serial number
// is found by the library's search of every unit's page, which opens each in turn.
int32_t holdUnit(const std::string &unit, int32_t *index)
{
    if (UnitAddress::isIndex(unit)) {
        *index = UnitAddress::index(unit);
        return velmorHoldUnit(*index);
    }
    const int32_t code = velmorHoldUnitBySerial(unit.c_str(), index);
    if (code != VELMOR_ERROR_SERIAL_NOT_FOUND)
        return code;
    if (getDeviceIndex(unit.c_str(), index) != VELMOR_OK)
        return VELMOR_ERROR_SERIAL_NOT_FOUND;
    return velmorHoldUnit(*index);
}

std::string failureReason(const std::string &unit, int32_t index, int32_t code)
{
    if (code == VELMOR_ERROR_SERIAL_NOT_FOUND)
        return OpenFailure::serialNotFoundReason(unitCount());
    if (code != VELMOR_ERROR_OPEN_FAILED && code != VELMOR_ERROR_DEVICE_INDEX)
        return std::string();
    if (index > UnitAddress::s_highestIndex && UnitAddress::isSerialNumber(unit))
        return "the unit is listed at index " + std::to_string(index) + " and " + UnitAddress::s_reach;
    VelmorUnitState state;
    if (!readUnitState(index, &state))
        return std::string();
    return OpenFailure::reason(code, index, state, UnitAddress::isSerialNumber(unit) ? unit : std::string());
}

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(double seconds)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// A pause before the next try, none past the deadline.
void pauseBefore(Clock::time_point deadline)
{
    std::this_thread::sleep_for(std::min<Clock::duration>(s_retryPause, deadline - Clock::now()));
}

} // namespace

Runner::Runner(bool json)
    : m_json(json)
{
}

Runner::~Runner()
{
    if (m_initialised)
        velmorReleaseAllUnits();
}

int Runner::run(const ParsedLine &line)
{
    const Reporter reporter(m_json || line.json);
    m_retryBusySeconds = line.retryBusySeconds > 0 ? line.retryBusySeconds : m_sessionRetryBusySeconds;
    for (const Invocation &invocation : line.invocations) {
        const int status = runOne(invocation, reporter);
        if (status != 0)
            return status;
    }
    return 0;
}

int Runner::runOne(const Invocation &invocation, const Reporter &reporter)
{
    switch (invocation.spec->id) {
    case CommandId::Help:
        reporter.output(invocation.helpTopic != nullptr ? HelpText::command(*invocation.helpTopic) : HelpText::tool());
        return 0;
    case CommandId::Codes:
        printCodes(reporter);
        return 0;
    case CommandId::Version: {
        const CommandResult result = versions();
        reporter.report(invocation, -1, result);
        return result.exitStatus;
    }
    case CommandId::Shell:
    case CommandId::Quit:
        return 0;
    case CommandId::Doctor:
        return Doctor(invocation.root).run(reporter);
    case CommandId::Apply:
        return runApply(invocation, reporter);
    case CommandId::List: {
        const int32_t code = initialiseOnce();
        const CommandResult result = code == VELMOR_OK ? UnitListing::run() : CommandResult::of(code, "");
        reporter.report(invocation, -1, result);
        return result.exitStatus;
    }
    default:
        return runOnUnit(invocation, reporter);
    }
}

int Runner::runOnUnit(const Invocation &invocation, const Reporter &reporter)
{
    int32_t index = -1;
    const int32_t code = initialiseOnce();
    const CommandResult result = code == VELMOR_OK ? runOnAddressedUnit(invocation, &index) : CommandResult::of(code, "");
    reporter.report(invocation, index, result);
    return result.exitStatus;
}

// One profile to every unit named, each unit tried whatever became of the one before: a report
// per unit, and the status of the first that did not take the profile.
int Runner::runApply(const Invocation &invocation, const Reporter &reporter)
{
    const int32_t code = initialiseOnce();
    if (code != VELMOR_OK) {
        const CommandResult result = CommandResult::of(code, "");
        reporter.report(invocation, -1, result);
        return result.exitStatus;
    }
    CommandResult total = CommandResult::of(VELMOR_OK, "");
    std::vector<JsonObject> units;
    for (const std::string &unit : invocation.units) {
        Invocation one = invocation;
        one.unit = unit;
        int32_t index = -1;
        const CommandResult result = runOnAddressedUnit(one, &index);
        JsonObject entry;
        entry.addText("unit", unit).addNumber("index", static_cast<int64_t>(index));
        entry.addNumber("code", static_cast<int64_t>(result.code)).addText("text", CommandResult::textOf(result.code));
        units.push_back(entry.append(result.fields));
        if (!reporter.json())
            reporter.part("apply unit " + unit, result);
        if (result.failed() && !total.failed()) {
            total.code = result.code;
            total.exitStatus = result.exitStatus;
        }
    }
    total.fields.addText("file", invocation.file).addArray("units", units);
    if (reporter.json())
        reporter.report(invocation, -1, total);
    return total.exitStatus;
}

// The command runs once, on its unit held as soon as it is free: a command is never run twice,
// so a move is never made twice. Why a call found no unit is read before the unit is let go.
CommandResult Runner::runOnAddressedUnit(const Invocation &invocation, int32_t *index)
{
    const bool holds = m_holdsTouchedUnits || holdsFor(invocation);
    int32_t code = VELMOR_OK;
    if (holds)
        code = holdWhenFree(invocation.unit, index);
    else
        *index = UnitAddress::index(invocation.unit);
    CommandResult result = code == VELMOR_OK ? UnitCommands(invocation, *index).run() : CommandResult::of(code, "");
    explainFailure(invocation.unit, *index, &result);
    // diff's 1 says "differs": no unit at that index is trouble, as diff(1) has it.
    if (invocation.spec->id == CommandId::Diff && !result.statusIsAnswer && result.exitStatus == ExitStatus::s_profileDiffers)
        result.exitStatus = ExitStatus::s_diffTrouble;
    if (holds && !m_holdsTouchedUnits && code == VELMOR_OK)
        velmorReleaseUnit(*index);
    return result;
}

// Holds the unit, trying again while it is open in another program, up to --retry-busy.
int32_t Runner::holdWhenFree(const std::string &unit, int32_t *index) const
{
    const Clock::time_point deadline = deadlineAfter(m_retryBusySeconds);
    for (;;) {
        const int32_t code = holdUnit(unit, index);
        if (code != VELMOR_ERROR_OPEN_FAILED || Clock::now() >= deadline || !isBusy(*index))
            return code;
        pauseBefore(deadline);
    }
}

// What the result code alone cannot say: why the unit could not be reached or found.
void Runner::explainFailure(const std::string &unit, int32_t index, CommandResult *result)
{
    const std::string reason = failureReason(unit, index, result->code);
    if (reason.empty())
        return;
    result->text += ": " + reason;
    result->fields.addText("reason", reason);
}

// Commands that make many calls on their unit hold it while they run; a unit named by its
// serial number is found and held in one step, so that no other unit takes its index between;
// a unit waited for is held the moment it is free.
bool Runner::holdsFor(const Invocation &invocation) const
{
    const CommandId id = invocation.spec->id;
    const bool profileCommand = id == CommandId::Save || id == CommandId::Load || id == CommandId::Diff
        || id == CommandId::Apply;
    return invocation.wait || id == CommandId::Status || profileCommand || UnitAddress::isSerialNumber(invocation.unit)
        || m_retryBusySeconds > 0;
}

CommandResult Runner::versions()
{
    int32_t major = 0, minor = 0, patch = 0;
    CommandResult result = CommandResult::of(velmorGetVersion(&major, &minor, &patch), "");
    if (result.failed())
        return result;
    const std::string tool = std::to_string(VELMOR_VERSION_MAJOR) + "." + std::to_string(VELMOR_VERSION_MINOR) + "."
        + std::to_string(VELMOR_VERSION_PATCH);
    const std::string library = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
    result.text = "velmorctl " + tool + ", VelmorLib " + library;
    result.fields.addText("velmorctl", tool).addText("library", library);
    return result;
}

void Runner::printCodes(const Reporter &reporter) const
{
    std::vector<JsonObject> codes;
    std::string text;
    for (int32_t code = 0; code <= VELMOR_HIGHEST_RESULT_CODE; ++code) {
        JsonObject entry;
        codes.push_back(entry.addNumber("code", static_cast<int64_t>(code)).addText("text", velmorResultText(code)));
        char line[128];
        std::snprintf(line, sizeof line, "%2d  %s\n", code, velmorResultText(code));
        text += line;
    }
    reporter.output(reporter.json() ? JsonObject::arrayText(codes) + "\n" : text);
}

int32_t Runner::initialiseOnce()
{
    if (m_initialised)
        return VELMOR_OK;
    const int32_t code = initialise();
    m_initialised = code == VELMOR_OK;
    // The profiles' travel limits hold for this run's moves, and their units for its words.
    if (m_initialised) {
        for (const std::string &problem : ProfileCatalog::load())
            std::fprintf(stderr, "velmorctl: profile left out: %s\n", problem.c_str());
    }
    return code;
}
