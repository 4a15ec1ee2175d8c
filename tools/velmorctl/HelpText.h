// The tool's help: its usage, and each command's usage line and purpose.
#ifndef VELMORCTL_HELPTEXT_H
#define VELMORCTL_HELPTEXT_H

#include "CommandSpec.h"

#include <string>

class HelpText
{
public:
    static std::string toolUsage();         // the usage lines alone
    static std::string tool();              // everything
    static std::string command(const CommandSpec &spec);
    static std::string usage(const CommandSpec &spec);      // "velmorctl speed UNIT SPEED STEP_MODE"
};

#endif
