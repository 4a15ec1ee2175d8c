#include "Application.h"

#include "CommandLineParser.h"
#include "HelpText.h"
#include "Reporter.h"
#include "Runner.h"
#include "Shell.h"
#include "UsageError.h"

#include <iostream>

namespace {
constexpr int s_usageStatus = 64;
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
        return s_usageStatus;
    }
    Runner runner(line.json);
    runner.setSessionRetryBusy(line.retryBusySeconds);
    if (line.invocations.front().spec->id == CommandId::Shell)
        return Shell(runner, line.json).run(std::cin);
    return runner.run(line);
}
