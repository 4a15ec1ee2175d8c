// list: the supported units the library counts, each with its listed serial number, chip,
// hardware and firmware version (the first listing of a unit runs its start-up handshake).
#ifndef VELMORCTL_UNITLISTING_H
#define VELMORCTL_UNITLISTING_H

#include "CommandResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class UnitListing
{
public:
    static CommandResult run();

private:
    static void addUnit(int32_t index, CommandResult &result, std::vector<JsonObject> &units);
    static void addFailure(int32_t index, int32_t code, CommandResult &result, std::vector<JsonObject> &units);
    static std::string paddedTo(const std::string &text, size_t width);
};

#endif
