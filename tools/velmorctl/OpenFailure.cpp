#include "OpenFailure.h"

#include "UnitAddress.h"

OpenFailure::Cause OpenFailure::causeOf(int32_t index, int32_t unitCount)
{
    if (unitCount < 0)
        return Cause::Unknown;
    return index <= unitCount ? Cause::Busy : Cause::Unplugged;
}

std::string OpenFailure::text(Cause cause)
{
    switch (cause) {
    case Cause::Busy:
        return "the unit is open in another program (close it there, or wait for it with --retry-busy SECONDS)";
    case Cause::Unplugged:
        return "the unit was unplugged (it is no longer listed at its index)";
    case Cause::Unknown:
        break;
    }
    return "the unit is open in another program, or was unplugged";
}

std::string OpenFailure::serialNotFoundReason(int32_t unitCount)
{
    if (unitCount <= UnitAddress::s_highestIndex)
        return std::string();
    return std::to_string(unitCount) + " units are attached and " + UnitAddress::s_reach
        + ": a unit listed beyond 99 cannot be found";
}
