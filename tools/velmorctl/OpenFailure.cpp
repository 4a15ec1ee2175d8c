#include "OpenFailure.h"

#include "UnitAddress.h"

#include <cctype>

namespace {

bool sameSerial(const std::string &a, const char *b)
{
    const std::string other(b);
    if (a.size() != other.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(other[i])))
            return false;
    }
    return true;
}

std::string heldHereAt(const std::string &serial, int32_t heldAt, int32_t listedAt)
{
    return "unit " + serial + " is held here at index " + std::to_string(heldAt) + ", now listed at index "
        + std::to_string(listedAt) + " (name it by its serial number)";
}

} // namespace

std::string OpenFailure::text(Cause cause)
{
    switch (cause) {
    case Cause::Busy:
        return "the unit is open in another program (close it there, or wait for it with --retry-busy SECONDS)";
    case Cause::Unplugged:
        break;
    }
    return "the unit was unplugged (it is no longer listed at its index)";
}

std::string OpenFailure::reason(int32_t code, int32_t index, const VelmorUnitState &state, const std::string &serial)
{
    if (state.held != 0 && state.heldUnitAway != 0)
        return heldUnitReason(index, state, serial);
    if (code != VELMOR_ERROR_OPEN_FAILED)
        return std::string();
    if (state.listed == 0)
        return text(Cause::Unplugged);
    if (state.heldElsewhereAt != 0)
        return heldHereAt(state.serialNumber, state.heldElsewhereAt, index);
    if (isBusy(state))
        return text(Cause::Busy);
    return "no other program has the unit open: the kernel's ftdi_sio driver may hold it, or you may not "
           "open its USB device (velmorctl doctor tells)";
}

bool OpenFailure::isBusy(const VelmorUnitState &state)
{
    return state.listed != 0 && state.openElsewhere != 0;
}

// The index is held for a unit that is not the one listed there now.
std::string OpenFailure::heldUnitReason(int32_t index, const VelmorUnitState &state, const std::string &serial)
{
    if (!serial.empty() && !sameSerial(serial, state.heldSerialNumber))
        return "index " + std::to_string(index) + ", where the unit is listed now, is held here for unit "
            + state.heldSerialNumber + ", which " + whereabouts(state);
    if (state.heldUnitListedAt != 0)
        return heldHereAt(state.heldSerialNumber, index, state.heldUnitListedAt);
    return "unit " + std::string(state.heldSerialNumber) + ", held here at index " + std::to_string(index) + ", "
        + whereabouts(state);
}

std::string OpenFailure::whereabouts(const VelmorUnitState &state)
{
    if (state.heldUnitListedAt == 0)
        return "was unplugged (it is no longer listed)";
    return "is now listed at index " + std::to_string(state.heldUnitListedAt);
}

std::string OpenFailure::serialNotFoundReason(int32_t unitCount)
{
    if (unitCount <= UnitAddress::s_highestIndex)
        return std::string();
    return std::to_string(unitCount) + " units are attached and " + UnitAddress::s_reach
        + ": a unit listed beyond 99 cannot be found";
}
