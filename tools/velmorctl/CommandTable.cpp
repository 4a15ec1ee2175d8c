#include "CommandTable.h"

#include <stdexcept>

namespace {

using T = ArgumentType;
constexpr CommandScope Anywhere = CommandScope::Anywhere;

std::vector<CommandSpec> buildTable()
{
    return {
        {CommandId::List, "list", false, {}, false, Anywhere,
         "list the supported units: serial, chip, hardware and firmware versions"},
        {CommandId::Codes, "codes", false, {}, false, Anywhere, "print the result codes and their texts"},
        {CommandId::Help, "help", false, {}, false, Anywhere, "print the help, or the help of one command"},
        {CommandId::Version, "version", false, {}, false, Anywhere, "print velmorctl's version and the library's"},
        {CommandId::Doctor, "doctor", false, {}, false, Anywhere,
         "check the setup: velmord, D2XX, the serial driver, device permissions, busy units, firmware"},
        {CommandId::Shell, "shell", false, {}, false, CommandScope::CommandLineOnly,
         "run commands from standard input, one or more a line"},
        {CommandId::Quit, "quit", false, {}, false, CommandScope::ShellOnly, "end the shell session"},
        {CommandId::On, "on", true, {}, false, Anywhere, "switch the motor on"},
        {CommandId::Off, "off", true, {}, false, Anywhere, "switch the motor off"},
        {CommandId::Stop, "stop", true, {}, false, Anywhere, "stop the motor"},
        {CommandId::Zero, "zero", true, {}, false, Anywhere, "set the position counter to zero"},
        {CommandId::MoveTo, "move-to", true, {{"POSITION", T::Position, "position"}}, true, Anywhere,
         "move to an absolute position, in the unit of the unit's profile, else in full steps"},
        {CommandId::MoveBy, "move-by", true, {{"STEPS", T::Position, "steps"}}, true, Anywhere,
         "move by a distance in the profile's unit, else in full steps (negative: the other way)"},
        {CommandId::Home, "home", true, {}, true, Anywhere, "move to the home position"},
        {CommandId::Position, "position", true, {}, false, Anywhere,
         "print the position, in full steps (and in the unit of the unit's profile)"},
        {CommandId::Ready, "ready", true, {}, false, Anywhere, "print whether the motor is ready"},
        {CommandId::Status, "status", true, {}, false, Anywhere,
         "print what the unit is, its motor status, every setting read back and its limits"},
        {CommandId::Speed, "speed", true, {{"SPEED", T::Int32, "speed"}, {"STEP_MODE", T::Int32, "step_mode"}}, false,
         Anywhere, "set the speed in full steps/s and the step mode (rate x 2^STEP_MODE)"},
        {CommandId::Accel, "accel", true, {{"ACCELERATION", T::Int32, "acceleration"}}, false, Anywhere,
         "set the acceleration in steps/s^2 (0: no ramp)"},
        {CommandId::Current, "current", true, {{"MILLIAMPERES", T::Int32, "milliamperes"}, {"FLAG", T::UInt8, "flag"}},
         false, Anywhere, "set the motor current in mA and the current flag (0 to 255)"},
        {CommandId::Backlash, "backlash", true,
         {{"ENABLED", T::UInt8, "enabled"}, {"DIRECTION", T::UInt32, "direction"}, {"AMOUNT", T::Int32, "amount"}},
         false, Anywhere, "set the backlash compensation (DIRECTION 0 or 1, AMOUNT in steps)"},
        {CommandId::HomeSettings, "home-settings", true,
         {{"DIRECTION", T::UInt32, "direction"}, {"FLAG_B", T::UInt8, "flag_b"}, {"FLAG_A", T::UInt8, "flag_a"},
          {"VALUE_A", T::UInt32, "value_a"}, {"VALUE_B", T::UInt32, "value_b"}},
         false, Anywhere, "set the homing behaviour (DIRECTION 0 or 1, values at most 10000)"},
        {CommandId::Limits, "limits", true,
         {{"INPUT1", T::Int32, "input1"}, {"TYPE1", T::UInt32, "type1"}, {"INPUT2", T::Int32, "input2"},
          {"TYPE2", T::UInt32, "type2"}},
         false, Anywhere, "set the limit-switch inputs (1-4; 1-8 on hardware 27.1) and types (0-6)"},
        {CommandId::Pwm, "pwm", true, {{"VALUE", T::Int32, "value"}}, false, Anywhere, "set the PWM output value"},
        {CommandId::PwmStepMode, "pwm-step-mode", true, {}, false, Anywhere, "switch the PWM output to step mode"},
        {CommandId::Relay, "relay", true, {{"on|off", T::OnOff, "on"}}, false, Anywhere,
         "switch the relay on or off (hardware 1.1 and 1.2)"},
        {CommandId::Save, "save", true, {}, false, Anywhere,
         "write the unit's profile to FILE, or to standard output"},
        {CommandId::Load, "load", true, {}, false, Anywhere,
         "apply a profile (FILE, else the unit's own file) to the unit, a line per setting"},
        {CommandId::Diff, "diff", true, {}, false, Anywhere,
         "print the settings of a profile that the unit does not hold (exit status 1 when any)"},
        {CommandId::Apply, "apply", false, {}, false, Anywhere,
         "apply one profile's settings to several units, a report per unit"},
    };
}

} // namespace

const std::vector<CommandSpec> &CommandTable::all()
{
    static const std::vector<CommandSpec> s_table = buildTable();
    return s_table;
}

const CommandSpec *CommandTable::find(const std::string &name)
{
    for (const CommandSpec &spec : all()) {
        if (name == spec.name)
            return &spec;
    }
    return nullptr;
}

const CommandSpec &CommandTable::of(CommandId id)
{
    for (const CommandSpec &spec : all()) {
        if (spec.id == id)
            return spec;
    }
    throw std::logic_error("a command id without a table entry");
}
