// Runs parsed lines in one session of the library: initialise once, then each command in
// order until one fails.
#ifndef VELMORCTL_RUNNER_H
#define VELMORCTL_RUNNER_H

#include "CommandResult.h"
#include "Invocation.h"

#include <string>

class Reporter;

class Runner
{
public:
    explicit Runner(bool json);
    // Releases the units the session held.
    ~Runner();
    Runner(const Runner &) = delete;
    Runner &operator=(const Runner &) = delete;

    // A shell session keeps every unit it touches held: its calls then take a few ms, not 54.
    void holdTouchedUnits() { m_holdsTouchedUnits = true; }
    // --retry-busy of the command line, for every line of a shell that does not give its own.
    void setSessionRetryBusy(double seconds) { m_sessionRetryBusySeconds = seconds; }

    // 0, or the exit status of the first command that failed.
    int run(const ParsedLine &line);

private:
    int runOne(const Invocation &invocation, const Reporter &reporter);
    int runOnUnit(const Invocation &invocation, const Reporter &reporter);
    int runApply(const Invocation &invocation, const Reporter &reporter);
    CommandResult runOnAddressedUnit(const Invocation &invocation, int32_t *index);
    int32_t holdWhenFree(const std::string &unit, int32_t *index) const;
    static void explainFailure(const std::string &unit, int32_t index, CommandResult *result);
    void printCodes(const Reporter &reporter) const;
    static CommandResult versions();
    bool holdsFor(const Invocation &invocation) const;
    int32_t initialiseOnce();

    bool m_json;
    double m_retryBusySeconds = 0;
    double m_sessionRetryBusySeconds = 0;
    bool m_initialised = false;
    bool m_holdsTouchedUnits = false;
};

#endif
