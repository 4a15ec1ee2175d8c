// One command of a command line, parsed and checked, ready to run.
#ifndef VELMORCTL_INVOCATION_H
#define VELMORCTL_INVOCATION_H

#include "CommandSpec.h"

#include <cstdint>
#include <string>
#include <vector>

struct Invocation
{
    const CommandSpec *spec = nullptr;
    std::string unit;                   // as typed: an index or a serial number
    std::vector<int64_t> values;        // one per argument of the command, each within its C type
    bool wait = false;
    double timeoutSeconds = 60.0;
    const CommandSpec *helpTopic = nullptr;     // help: the command asked about, or none
    std::string root;                   // doctor: where sysfs, /dev and /proc are found; empty for "/"
};

// A whole command line (or one shell line).
struct ParsedLine
{
    bool json = false;
    double retryBusySeconds = 0;        // --retry-busy: how long to retry opening a unit that is busy
    std::vector<Invocation> invocations;
};

#endif
