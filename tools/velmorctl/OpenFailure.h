// Why a unit could not be opened (code 3), as far as the listing tells: a unit still listed at
// its index is open in another program; a unit no longer listed there was unplugged. The one
// place for these words in the tool.
#ifndef VELMORCTL_OPENFAILURE_H
#define VELMORCTL_OPENFAILURE_H

#include <cstdint>
#include <string>

class OpenFailure
{
public:
    enum class Cause { Busy, Unplugged, Unknown };

    // `unitCount` as getDeviceCount read it right after the failure; negative when that failed.
    static Cause causeOf(int32_t index, int32_t unitCount);
    static std::string text(Cause cause);
    // For a serial number no unit answered to (code 28), when the unit count shows why; else empty.
    static std::string serialNotFoundReason(int32_t unitCount);
};

#endif
