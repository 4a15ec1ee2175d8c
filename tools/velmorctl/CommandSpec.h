// What the tool knows of one command: its name, its arguments and options, its help line.
#ifndef VELMORCTL_COMMANDSPEC_H
#define VELMORCTL_COMMANDSPEC_H

#include "ArgumentSpec.h"

#include <vector>

enum class CommandId {
    List, Codes, Help, Version, Shell, Quit, Doctor,
    On, Off, Stop, Zero, MoveTo, MoveBy, Home, Position, Ready, Status,
    Speed, Accel, Current, Backlash, HomeSettings, Limits, Pwm, PwmStepMode, Relay,
    Save, Load, Diff, Apply,
};

enum class CommandScope {
    Anywhere,
    CommandLineOnly,    // shell: starts the session
    ShellOnly,          // quit: ends it
};

struct CommandSpec
{
    CommandId id;
    const char *name;
    bool takesUnit;
    std::vector<ArgumentSpec> arguments;
    bool waits;             // takes --wait and --timeout SECONDS
    CommandScope scope;
    const char *summary;
};

#endif
