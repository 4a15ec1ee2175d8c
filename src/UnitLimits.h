// What a unit accepts, by its hardware version: the ranges of every setting as the exports take
// them (velmorGetLimits), and the words for a value outside them (velmorExplainRefusal).
#ifndef UNITLIMITS_H
#define UNITLIMITS_H

#include "VelmorLibExtras.h"
#include "VersionNumber.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class UnitLimits
{
public:
    // Fills every field but `size`.
    static void fill(VersionNumber hardware, VelmorLimits &limits);

    // Why a unit with these limits refuses the settings export `function` with `arguments` (the
    // export's arguments after the device index): "8001 mA is above the 8000 mA maximum of this
    // unit (hardware 1.2)", the reasons joined with "; ". Empty when every value is within its
    // range; none for a function that is not a settings export or the wrong number of arguments.
    static std::optional<std::string> refusal(const std::string &function, const std::vector<int64_t> &arguments,
                                              const VelmorLimits &limits);
};

#endif // UNITLIMITS_H
