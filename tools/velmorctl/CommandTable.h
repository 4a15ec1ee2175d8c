// Every command of the tool, in the order the help lists them.
#ifndef VELMORCTL_COMMANDTABLE_H
#define VELMORCTL_COMMANDTABLE_H

#include "CommandSpec.h"

#include <string>
#include <vector>

class CommandTable
{
public:
    static const std::vector<CommandSpec> &all();
    // nullptr for a name no command has
    static const CommandSpec *find(const std::string &name);
    static const CommandSpec &of(CommandId id);
};

#endif
