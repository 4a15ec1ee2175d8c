#include "Application.h"

#include "CommandLineParser.h"
#include "D2xxCheck.h"
#include "ExitStatus.h"
#include "HelpText.h"
#include "Reporter.h"
#include "Runner.h"
#include "Shell.h"
#include "UsageError.h"

#include <iostream>

namespace {

// Commands that reach the units through D2XX; doctor says itself what is missing.
bool needsUnits(const ParsedLine &line)
{
    for (const Invocation &invocation : line.invocations) {
        const CommandId id = invocation.spec->id;
        if (invocation.spec->takesUnit || id == CommandId::List || id == CommandId::Shell)
            return true;
    }
    return false;
}

} // namespace

int Application::run(int argc, char **argv) const
{
    const std::vector<std::string> words(argv + 1, argv + argc);
    ParsedLine line;
    try {
        line = CommandLineParser(words, CommandLineParser::Source::CommandLine).parse();
        if (line.invocations.empty())
            throw UsageError("no command given", HelpText::toolUsage());
    } catch (const UsageError &error) {
        Reporter(false).usageError(error);
        return ExitStatus::s_usageError;
    }
    if (needsUnits(line)) {
        const std::string missing = D2xxCheck::missing();
        if (!missing.empty()) {
            Reporter(line.json).unavailable(missing);
            return ExitStatus::s_d2xxMissing;
        }
    }
    Runner runner(line.json);
    runner.setSessionRetryBusy(line.retryBusySeconds);
    if (line.invocations.front().spec->id == CommandId::Shell)
        return Shell(runner, line.json).run(std::cin);
    return runner.run(line);
}
