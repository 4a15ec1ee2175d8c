// Prints what commands came to: a line for a person (standard output on success, standard
// error on failure), or with --json one JSON object per command on standard output.
#ifndef VELMORCTL_REPORTER_H
#define VELMORCTL_REPORTER_H

#include "CommandResult.h"
#include "Invocation.h"

#include <string>

class UsageError;

class Reporter
{
public:
    explicit Reporter(bool json);

    bool json() const { return m_json; }
    void report(const Invocation &invocation, int32_t index, const CommandResult &result) const;
    void usageError(const UsageError &error) const;
    // One part of a command's outcome, for a person: its lines, and on failure its words under
    // `subject` on standard error ("apply unit 3").
    void part(const std::string &subject, const CommandResult &result) const;
    // Something the run needs is not there: each line of the explanation on standard error.
    void unavailable(const std::string &explanation) const;
    void output(const std::string &text) const;
    // "move-to unit 1", or the command's name for one that takes no unit
    static std::string subject(const Invocation &invocation);

private:
    static JsonObject jsonOf(const Invocation &invocation, int32_t index, const CommandResult &result);
    static JsonObject argumentsOf(const Invocation &invocation);

    bool m_json;
};

#endif
