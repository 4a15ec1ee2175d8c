// What a UNIT word names: a device index when it is all decimal digits, a serial number when it
// has a serial number's form (JX, the flow-control letter a or b, the model letter h or p, five
// digits, and optionally four more digits or "xxxx"; any letter case, as the library compares).
// Anything else is a usage error, found before any library call.
#ifndef VELMORCTL_UNITADDRESS_H
#define VELMORCTL_UNITADDRESS_H

#include <cstdint>
#include <string>

class UnitAddress
{
public:
    // The library addresses units 1 to 99; a unit listed beyond is out of its reach.
    static constexpr int32_t s_highestIndex = 99;
    static const char *const s_reach;   // "the library addresses units 1 to 99"

    // Empty when `word` is a valid UNIT; else why not.
    static std::string problem(const std::string &word);
    static bool isIndex(const std::string &word);
    static bool isSerialNumber(const std::string &word);
    // The index of a valid index word.
    static int32_t index(const std::string &word);
};

#endif
