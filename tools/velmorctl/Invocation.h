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
    // move-to, move-by: the POSITION or STEPS as typed, which may have a fraction (a quantity in
    // the unit of the unit's profile); `values` holds it rounded.
    double quantity = 0;
    bool fractional = false;
    std::string quantityText;
    bool inSteps = false;               // --steps: the number is full steps, whatever the profile says
    // save, load, diff, apply: the profile's file, empty for the default (standard output for save)
    std::string file;
    std::vector<std::string> units;     // apply: every UNIT, in order
    bool fix = false;                   // load, apply: --fix
    bool dryRun = false;                // load, apply: --dry-run
};

// A whole command line (or one shell line).
struct ParsedLine
{
    bool json = false;
    double retryBusySeconds = 0;        // --retry-busy: how long to retry opening a unit that is busy
    std::vector<Invocation> invocations;
};

#endif
