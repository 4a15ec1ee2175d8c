#include "Shell.h"

#include "CommandLineParser.h"
#include "ExitStatus.h"
#include "InterruptGuard.h"
#include "Reporter.h"
#include "Runner.h"
#include "Terminal.h"
#include "UsageError.h"

#include <algorithm>
#include <csignal>
#include <cstdio>

Shell::Shell(Runner &runner, bool json)
    : m_runner(runner), m_json(json), m_interactive(Terminal::isStandardInput())
{
    m_runner.holdTouchedUnits();
}

int Shell::run(std::istream &input)
{
    int status = 0;
    std::string text;
    for (prompt(); std::getline(input, text); prompt()) {
        const std::vector<std::string> lineWords = CommandLineParser::shellWords(text);
        if (lineWords.empty())
            continue;
        ParsedLine line;
        try {
            line = CommandLineParser(lineWords, CommandLineParser::Source::ShellLine).parse();
        } catch (const UsageError &error) {
            Reporter(m_json).usageError(error);
            status = ExitStatus::s_usageError;
            continue;
        }
        const auto quit = std::find_if(line.invocations.begin(), line.invocations.end(),
                                       [](const Invocation &invocation) { return invocation.spec->id == CommandId::Quit; });
        const bool quitting = quit != line.invocations.end();
        line.invocations.erase(quit, line.invocations.end());
        const int lineStatus = m_runner.run(line);
        if (lineStatus != 0)
            status = lineStatus;
        // Ctrl-C at a terminal ends the wait; a terminate signal, or one on a piped session, ends it all.
        if (lineStatus == ExitStatus::s_interrupted && (!m_interactive || InterruptGuard::signalNumber() == SIGTERM))
            return status;
        if (quitting)
            return status;
    }
    if (m_interactive)
        std::fputc('\n', stdout);
    return status;
}

void Shell::prompt() const
{
    if (!m_interactive)
        return;
    std::fputs("velmorctl> ", stdout);
    std::fflush(stdout);
}
