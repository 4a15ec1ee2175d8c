#include "Runner.h"

#include "Doctor.h"
#include "HelpText.h"
#include "NumberParser.h"
#include "Reporter.h"
#include "ResultText.h"
#include "UnitCommands.h"
#include "UnitListing.h"
#include "VelmorLibExtras.h"

#include <cstdio>
#include <cstdlib>

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
    // A unit that cannot be held is used as any other: the command itself then says what is wrong.
    const bool holdsForCommand = code == VELMOR_OK && !m_holdsTouchedUnits && holdsFor(invocation);
    if (code == VELMOR_OK && (m_holdsTouchedUnits || holdsForCommand))
        velmorHoldUnit(index);
    const CommandResult result = code == VELMOR_OK ? UnitCommands(invocation, index).run() : CommandResult::of(code, "");
    if (holdsForCommand)
        velmorReleaseUnit(index);
    reporter.report(invocation, index, result);
    return result.exitStatus;
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

// Decimal digits are an index (the parser has checked its range); anything else is a serial.
int32_t Runner::resolveUnit(const std::string &unit, int32_t *index)
{
    if (NumberParser::isDecimalDigits(unit)) {
        *index = static_cast<int32_t>(std::strtol(unit.c_str(), nullptr, 10));
        return VELMOR_OK;
    }
    return getDeviceIndex(unit.c_str(), index);
}
