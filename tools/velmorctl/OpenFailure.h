// Why a call found no unit to reach (code 3, or 1 on an index this process holds): busy in
// another program, unplugged, or held here at an index it has left, as velmorGetUnitState tells
// right after the failure. The one place for these words in the tool.
#ifndef VELMORCTL_OPENFAILURE_H
#define VELMORCTL_OPENFAILURE_H

#include "VelmorLibExtras.h"

#include <cstdint>
#include <string>

class OpenFailure
{
public:
    enum class Cause { Busy, Unplugged };

    static std::string text(Cause cause);

    // Why the call on `index` failed with `code`, from the index's state read right after it.
    // `serial` is the serial number the command named its unit by, empty for an index. Empty
    // when the state adds nothing to the code (code 1 on an index this process does not hold).
    static std::string reason(int32_t code, int32_t index, const VelmorUnitState &state, const std::string &serial);
    // Whether the failure came from another program having the unit open, which --retry-busy
    // waits out.
    static bool isBusy(const VelmorUnitState &state);
    // For a serial number no unit answered to (code 28), when the unit count shows why; else empty.
    static std::string serialNotFoundReason(int32_t unitCount);

private:
    static std::string heldUnitReason(int32_t index, const VelmorUnitState &state, const std::string &serial);
    static std::string whereabouts(const VelmorUnitState &state);
};

#endif
