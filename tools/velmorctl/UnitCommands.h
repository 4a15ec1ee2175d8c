// Runs the commands that address one unit, each through its library call.
#ifndef VELMORCTL_UNITCOMMANDS_H
#define VELMORCTL_UNITCOMMANDS_H

#include "CommandResult.h"
#include "Invocation.h"

class UnitCommands
{
public:
    UnitCommands(const Invocation &invocation, int32_t index);

    CommandResult run() const;

private:
    CommandResult simple() const;
    CommandResult position() const;
    CommandResult ready() const;
    CommandResult setting() const;
    int32_t callSetting() const;
    std::string refusalReason() const;
    const char *settingFunction() const;
    std::string settingText() const;
    std::string unitText() const;
    std::string value(size_t argument) const;
    int32_t int32Value(size_t argument) const;
    uint32_t uint32Value(size_t argument) const;
    uint8_t uint8Value(size_t argument) const;

    const Invocation &m_invocation;
    int32_t m_index;
};

#endif
