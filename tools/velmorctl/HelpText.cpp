#include "HelpText.h"

#include "CommandTable.h"
#include "ExitStatus.h"

namespace {

std::string synopsis(const CommandSpec &spec)
{
    std::string text = spec.name;
    if (spec.id == CommandId::Help)
        text += " [COMMAND]";
    if (spec.takesUnit)
        text += " UNIT";
    for (const ArgumentSpec &argument : spec.arguments)
        text += std::string(" ") + argument.name;
    if (spec.id == CommandId::MoveTo || spec.id == CommandId::MoveBy)
        text += " [--steps]";
    if (spec.id == CommandId::Save || spec.id == CommandId::Load || spec.id == CommandId::Diff)
        text += " [FILE]";
    if (spec.id == CommandId::Apply)
        text += " FILE UNIT...";
    if (spec.id == CommandId::Load || spec.id == CommandId::Apply)
        text += " [--fix] [--dry-run]";
    if (spec.waits)
        text += " [--wait] [--timeout SECONDS]";
    if (spec.id == CommandId::Doctor)
        text += " [--root DIR]";
    return text;
}

// The summary beside a short synopsis, else on the next line.
std::string listEntry(const CommandSpec &spec)
{
    constexpr size_t s_column = 32;
    std::string text = "  " + synopsis(spec);
    if (text.size() + 2 <= s_column)
        text.append(s_column - text.size(), ' ');
    else
        text += "\n" + std::string(s_column, ' ');
    return text + spec.summary + "\n";
}

std::string status(int exitStatus)
{
    return std::to_string(exitStatus);
}

} // namespace

std::string HelpText::toolUsage()
{
    return "usage: velmorctl [--json] COMMAND [ARGS...] [OPTIONS] [COMMAND [ARGS...] [OPTIONS]]...\n"
           "       velmorctl [--json] shell\n"
           "       velmorctl --help | velmorctl COMMAND --help | velmorctl help [COMMAND]\n";
}

std::string HelpText::tool()
{
    std::string text = toolUsage();
    text += "\nControls the stepper-motor driver units attached over USB. UNIT is a device index when it is\n"
            "all decimal digits (1 to 99: the library addresses no unit beyond), or a serial number such as\n"
            "JXah00102 (any letter case); anything else is a usage error. Commands run in order; the first\n"
            "that fails ends the run.\n"
            "\ncommands:\n";
    for (const CommandSpec &spec : CommandTable::all())
        text += listEntry(spec);
    text += "\noptions:\n"
            "  --json              one JSON object per line per command on standard output\n"
            "  --wait              (move-to, move-by, home) wait until the motor is ready again;\n"
            "                      Ctrl-C stops the motor\n"
            "  --timeout SECONDS   how long --wait waits (default 60)\n"
            "  --steps             (move-to, move-by) the number is in full steps, not in the unit\n"
            "                      of the unit's profile\n"
            "  --fix               (load, apply) a value the unit refuses goes as the nearest it accepts\n"
            "  --dry-run           (load, apply) write nothing: say what would be written\n"
            "  --retry-busy SECONDS\n"
            "                      while a unit is open in another program, try again for this long\n"
            "                      (without it, code 3 at once, with the reason: busy in another\n"
            "                      program, unplugged, or held by the shell at another index)\n"
            "\nexit status: 0 on success; the result code of the library call that failed; "
          + status(ExitStatus::s_usageError) + " for a\nusage error (nothing is run); " + status(ExitStatus::s_d2xxMissing)
          + " when FTDI's D2XX library is missing; " + status(ExitStatus::s_timedOut) + " when --wait\ntimed out; "
          + status(ExitStatus::s_interrupted) + " when interrupted during --wait (the motor was stopped); doctor: "
          + status(ExitStatus::s_problemFound) + " when a\ncheck finds a problem; diff: " + status(ExitStatus::s_profileDiffers)
          + " when a setting differs, " + status(ExitStatus::s_diffTrouble) + " for no unit at that\nindex; "
          + status(ExitStatus::s_noInput) + " when a profile's file cannot be read; " + status(ExitStatus::s_cannotCreate)
          + " when save cannot write its file.\nThe shell ends with the status of its last failed line.\n";
    return text;
}

std::string HelpText::command(const CommandSpec &spec)
{
    std::string text = "usage: " + usage(spec) + "\n" + spec.summary + "\n";
    if (spec.takesUnit)
        text += "UNIT: a device index (1 to 99) or a serial number such as JXah00102\n"
                "--retry-busy SECONDS: while the unit is open in another program, try again for this long\n";
    if (spec.waits)
        text += "--wait: wait until the motor is ready again, showing its progress; Ctrl-C stops the motor\n"
                "--timeout SECONDS: give up waiting after this long (default 60), exit status "
            + status(ExitStatus::s_timedOut) + "\n";
    if (spec.id == CommandId::MoveTo || spec.id == CommandId::MoveBy)
        text += "On a unit whose loaded profile gives a unit (\"unit\": \"mm\"), the number is in that unit, as\n"
                "12.5, and goes as the nearest full step (stepsPerUnit); elsewhere it is whole full steps.\n"
                "--steps: the number is whole full steps on any unit\n"
                "A target beyond the travel limits of the profile is refused (code 21) and nothing moves.\n";
    if (spec.id == CommandId::Save)
        text += "FILE: where the profile goes (replaced whole, or left as it was on failure); without it,\n"
                "standard output. Written-only settings (limit switches, PWM, relay) are in it when known.\n"
                "exit status: " + status(ExitStatus::s_cannotCreate) + " when FILE cannot be written\n";
    if (spec.id == CommandId::Load || spec.id == CommandId::Apply)
        text += "--fix: a value the unit refuses goes as the nearest value it accepts\n"
                "--dry-run: write nothing; each line says what would be\n"
                "Each setting of the profile comes out applied, unchanged, fixed, refused (with the unit's\n"
                "range) or failed (with the call's code); the exit status is the code of the first setting\n"
                "refused (21) or failed, " + status(ExitStatus::s_noInput) + " when FILE cannot be read.\n";
    if (spec.id == CommandId::Load)
        text += "FILE: the profile; without it, SERIAL.json in the profile folder (VELMOR_PROFILES, else\n"
                "velmorlib/units in your configuration folder), SERIAL being the unit's USB serial number\n";
    if (spec.id == CommandId::Apply)
        text += "The profile may be another unit's: each unit keeps its own name and serial number. Every\n"
                "UNIT is tried; the exit status is that of the first that did not take the profile.\n";
    if (spec.id == CommandId::Diff)
        text += "FILE: the profile; without it, SERIAL.json in the profile folder, as for load\n"
                "Prints a line per value that differs: \"current: profile 1000, unit 1500\".\n"
                "exit status: 0 when none differs, " + status(ExitStatus::s_profileDiffers) + " when one does (as diff(1) does), "
                + status(ExitStatus::s_noInput) + " when FILE\ncannot be read, " + status(ExitStatus::s_diffTrouble)
                + " for no unit at that index, else the library's code\n";
    if (spec.id == CommandId::Doctor)
        text += "Checks, each problem with its fix: whether velmord runs and serves the calls, at which socket,\n"
                "and the programs connected to it (or that the calls go directly to the units, and how to start\n"
                "velmord); which libftd2xx the library (or velmord) loaded (FTDI's or the emulator);\n"
                "the units on USB (FTDI's vendor ID, a serial starting JX) bound to the kernel's ftdi_sio\n"
                "driver; whether you may open their /dev/bus/usb nodes; units another process holds open;\n"
                "and every unit the library lists, opened and identified (firmware its hardware does not\n"
                "accept: hardware 1.1 takes firmware 2, 1.2 firmware 2 to 4, 10.1 and 27.1 firmware 1).\n"
                "--root DIR: read sysfs, /dev and /proc under DIR instead of / (for tests)\n"
                "exit status: 0 when every check passes, " + status(ExitStatus::s_problemFound)
            + " when one finds a problem\n";
    return text;
}

std::string HelpText::usage(const CommandSpec &spec)
{
    return std::string("velmorctl ") + synopsis(spec);
}
