// One positional argument of a command: its name in the usage line and the C type of the
// parameter it feeds.
#ifndef VELMORCTL_ARGUMENTSPEC_H
#define VELMORCTL_ARGUMENTSPEC_H

enum class ArgumentType {
    Int32,
    UInt8,
    UInt32,
    OnOff,          // "on" or "off", passed as an 8-bit 1 or 0
    Position,       // whole full steps within a 32-bit int, or a number with a fraction in the unit of
                    // the unit's profile (converted to full steps when the unit is known)
};

struct ArgumentSpec
{
    const char *name;       // as the usage line shows it: "STEP_MODE"
    ArgumentType type;
    const char *jsonName;   // its key in the "arguments" member of --json output
};

#endif
