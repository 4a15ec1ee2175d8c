// The bench the emulator builds when none was set through the control API.
#ifndef VELMOR_EMULATOR_DEFAULTBENCH_H
#define VELMOR_EMULATOR_DEFAULTBENCH_H

#include "VelmorEmulator.h"

namespace VelmorEmulator {

// From VELMOR_EMULATOR_BENCH when it is set (each entry left out is reported on standard error),
// else the built-in bench. The variable holds units
// separated by ';', each "CHIP:SERIAL[:FIRMWARE]" with CHIP one of FT232R, FT2232H, FT232H,
// XSERIES, FT4232H and FIRMWARE "major.minor", e.g. "FT232R:JXah00102:3.0;FT232H:JXbh01001:1.0".
std::vector<BenchItem> defaultBench();

// The built-in bench: one unit of every supported hardware version on a different chip, and an
// FT2232H unit.
std::vector<BenchItem> builtInBench();

// Parses the variable's form. Blanks around an entry do not count, nor do empty entries; an entry
// that gives no unit is left out, with its reason in `rejections` when given.
std::vector<BenchItem> parseBench(const std::string &text, std::vector<std::string> *rejections = nullptr);

// The bench in the variable's form, each unit with its firmware: the same text for the same
// units however the bench was given. An interface with no unit shows as "BARE:SERIAL".
std::string benchText(const std::vector<BenchItem> &items);

} // namespace VelmorEmulator

#endif
