#include "UnitListing.h"

#include "OpenFailure.h"
#include "UnitAddress.h"
#include "UnitInfoText.h"
#include "VelmorLib.hpp"

#include <cstdio>
#include <vector>

CommandResult UnitListing::run()
{
    int32_t count = 0;
    CommandResult result = CommandResult::of(getDeviceCount(&count), "");
    if (result.failed())
        return result;
    result.text = std::to_string(count) + " supported unit" + (count == 1 ? "" : "s");
    std::vector<JsonObject> units;
    for (int32_t index = 1; index <= count; ++index)
        addUnit(index, result, units);
    result.fields.addNumber("count", static_cast<int64_t>(count)).addArray("units", units);
    return result;
}

// A unit whose information cannot be read is listed with the reason; the listing goes on.
void UnitListing::addUnit(int32_t index, CommandResult &result, std::vector<JsonObject> &units)
{
    auto info = velmor::sized<VelmorUnitInfo>();
    const int32_t code = velmorGetUnitInfo(index, &info);
    if (code != VELMOR_OK) {
        addFailure(index, code, result, units);
        return;
    }
    const std::string hardware = UnitInfoText::hardware(info);
    const std::string firmware = UnitInfoText::firmware(info);
    char line[192];
    std::snprintf(line, sizeof line, "\n%-5d %-16s %-9s hardware %-5s firmware %s", index, info.serialNumber,
                  velmorChipName(info.chipType), hardware.c_str(), firmware.c_str());
    result.text += line;
    JsonObject unit;
    unit.addNumber("index", static_cast<int64_t>(index)).addNumber("code", static_cast<int64_t>(code));
    unit.addText("serial", info.serialNumber).addText("chip", velmorChipName(info.chipType));
    units.push_back(unit.addText("hardware", hardware).addText("firmware", firmware));
}

// The serial number comes from D2XX's listing, which needs no open: a unit another program has
// open is still named.
void UnitListing::addFailure(int32_t index, int32_t code, CommandResult &result, std::vector<JsonObject> &units)
{
    JsonObject unit;
    unit.addNumber("index", static_cast<int64_t>(index)).addNumber("code", static_cast<int64_t>(code));
    auto state = velmor::sized<VelmorUnitState>();
    std::string serial;
    std::string reason;
    if (index > UnitAddress::s_highestIndex) {
        // Listed, but out of the library's reach: every call on it returns 1.
        reason = UnitAddress::s_reach;
    } else if (velmorGetUnitState(index, &state) == VELMOR_OK) {
        serial = state.listed != 0 ? state.serialNumber : "";
        reason = OpenFailure::reason(code, index, state, std::string());
    }
    result.text += "\n" + paddedTo(std::to_string(index), 6) + (serial.empty() ? "" : paddedTo(serial, 17))
        + CommandResult::textOf(code) + " (code " + std::to_string(code) + ")" + (reason.empty() ? "" : ": " + reason);
    if (!serial.empty())
        unit.addText("serial", serial);
    unit.addText("text", CommandResult::textOf(code));
    if (!reason.empty())
        unit.addText("reason", reason);
    units.push_back(unit);
}

std::string UnitListing::paddedTo(const std::string &text, size_t width)
{
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}
