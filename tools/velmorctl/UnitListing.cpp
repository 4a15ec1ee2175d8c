#include "UnitListing.h"

#include "ResultText.h"
#include "UnitAddress.h"
#include "UnitInfoText.h"
#include "VelmorLibExtras.h"

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
    VelmorUnitInfo info = {};
    info.size = sizeof info;
    const int32_t code = velmorGetUnitInfo(index, &info);
    JsonObject unit;
    unit.addNumber("index", static_cast<int64_t>(index)).addNumber("code", static_cast<int64_t>(code));
    char line[192];
    if (code != VELMOR_OK) {
        // Listed, but out of the library's reach: every call on it returns 1.
        const std::string reason = index > UnitAddress::s_highestIndex ? std::string(": ") + UnitAddress::s_reach : "";
        std::snprintf(line, sizeof line, "\n%-5d %s (code %d)%s", index, ResultText::of(code).c_str(), code,
                      reason.c_str());
        result.text += line;
        unit.addText("text", ResultText::of(code));
        if (!reason.empty())
            unit.addText("reason", UnitAddress::s_reach);
        units.push_back(unit);
        return;
    }
    const std::string hardware = UnitInfoText::hardware(info);
    const std::string firmware = UnitInfoText::firmware(info);
    std::snprintf(line, sizeof line, "\n%-5d %-16s %-9s hardware %-5s firmware %s", index, info.serialNumber,
                  UnitInfoText::chipName(info.usbId), hardware.c_str(), firmware.c_str());
    result.text += line;
    unit.addText("serial", info.serialNumber).addText("chip", UnitInfoText::chipName(info.usbId));
    units.push_back(unit.addText("hardware", hardware).addText("firmware", firmware));
}
