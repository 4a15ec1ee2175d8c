#include "Runner.h"

#include "Doctor.h"
#include "HelpText.h"
#include "OpenFailure.h"
#include "Reporter.h"
#include "ResultText.h"
#include "UnitAddress.h"
#include "UnitCommands.h"
#include "UnitListing.h"
#include "VelmorLibExtras.h"

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

OpenFailure::Cause openFailureCause(int32_t index)
{
    return OpenFailure::causeOf(index, unitCount());
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
    int32_t code = initialiseOnce();
    if (code == VELMOR_OK)
        code = resolveUnit(invocation.unit, &index);
    CommandResult result = code == VELMOR_OK ? runRetryingBusy(invocation, index) : CommandResult::of(code, "");
    explainFailure(index, &result);
    reporter.report(invocation, index, result);
    return result.exitStatus;
}

// A unit that cannot be held is used as any other: the command itself then says what is wrong.
CommandResult Runner::runCommand(const Invocation &invocation, int32_t index)
{
    const bool holdsForCommand = !m_holdsTouchedUnits && holdsFor(invocation);
    if (m_holdsTouchedUnits || holdsForCommand)
        velmorHoldUnit(index);
    const CommandResult result = UnitCommands(invocation, index).run();
    if (holdsForCommand)
        velmorReleaseUnit(index);
    return result;
}

// The command runs once, on its unit held as soon as it is free: a command is never run twice,
// so a move is never made twice.
CommandResult Runner::runRetryingBusy(const Invocation &invocation, int32_t index)
{
    if (m_retryBusySeconds <= 0)
        return runCommand(invocation, index);
    const bool held = holdWhenFree(index) == VELMOR_OK;
    const CommandResult result = runCommand(invocation, index);
    if (held && !m_holdsTouchedUnits)
        velmorReleaseUnit(index);
    return result;
}

// Opens and holds the unit, trying again while it is open in another program, up to --retry-busy.
int32_t Runner::holdWhenFree(int32_t index) const
{
    const Clock::time_point deadline = deadlineAfter(m_retryBusySeconds);
    for (;;) {
        const int32_t code = velmorHoldUnit(index);
        if (code != VELMOR_ERROR_OPEN_FAILED || Clock::now() >= deadline
            || openFailureCause(index) != OpenFailure::Cause::Busy)
            return code;
        pauseBefore(deadline);
    }
}

// What the result code alone cannot say: why the unit could not be opened or found.
void Runner::explainFailure(int32_t index, CommandResult *result)
{
    std::string reason;
    if (result->code == VELMOR_ERROR_OPEN_FAILED)
        reason = OpenFailure::text(openFailureCause(index));
    else if (result->code == VELMOR_ERROR_SERIAL_NOT_FOUND)
        reason = OpenFailure::serialNotFoundReason(unitCount());
    if (reason.empty())
        return;
    result->text += ": " + reason;
    result->fields.addText("reason", reason);
}

// Commands that make many calls on their unit hold it while they run.
bool Runner::holdsFor(const Invocation &invocation) const
{
    return invocation.wait || invocation.spec->id == CommandId::Status;
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
    for (int32_t code = 0; code <= ResultText::highestCode(); ++code) {
        JsonObject entry;
        codes.push_back(entry.addNumber("code", static_cast<int64_t>(code)).addText("text", ResultText::of(code)));
        char line[128];
        std::snprintf(line, sizeof line, "%2d  %s\n", code, ResultText::of(code).c_str());
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
    return code;
}

// The parser has checked the word: an index in range, or a serial number. A unit open in another
// program cannot be looked up by its serial number: with --retry-busy the lookup is tried again.
int32_t Runner::resolveUnit(const std::string &unit, int32_t *index) const
{
    if (UnitAddress::isIndex(unit)) {
        *index = UnitAddress::index(unit);
        return VELMOR_OK;
    }
    const Clock::time_point deadline = deadlineAfter(m_retryBusySeconds);
    for (;;) {
        const int32_t code = getDeviceIndex(unit.c_str(), index);
        if (code != VELMOR_ERROR_SERIAL_NOT_FOUND || Clock::now() >= deadline)
            return code;
        pauseBefore(deadline);
    }
}
