// save, load, diff and apply: a unit's profile to a file, a profile's settings to a unit with
// a line per setting, and the settings that differ, through the library's profile functions.
#ifndef VELMORCTL_PROFILECOMMANDS_H
#define VELMORCTL_PROFILECOMMANDS_H

#include "CommandResult.h"
#include "Invocation.h"

#include <string>

class ProfileCommands
{
public:
    ProfileCommands(const Invocation &invocation, int32_t index, std::string unitText);

    CommandResult run() const;

private:
    CommandResult save() const;
    // load, and apply's run on one of its units
    CommandResult load() const;
    CommandResult diff() const;
    // The profile's file and its text; a result to give instead when there is none.
    bool readProfile(std::string *path, std::string *text, CommandResult *failure) const;

    const Invocation &m_invocation;
    int32_t m_index;
    std::string m_unitText;
};

#endif
