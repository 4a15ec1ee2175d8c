#include "UnitListing.h"

#include "USBDeviceIdentity.h"
#include "USBFtdiDevice.h"
#include "VelmorLib.h"

#include <cstdio>
#include <vector>

namespace {

bool isSupportedHardware(const VersionNumber &version)
{
    return version == VersionNumber(1, 1) || version == VersionNumber(1, 2) || version == VersionNumber(10, 1)
        || version == VersionNumber(27, 1);
}

} // namespace

// The exports count the supported units; the details of each listed unit come from the
// library's own enumeration, in the order that gives the supported ones their indices.
CommandResult UnitListing::run()
{
    int32_t count = 0;
    CommandResult result = CommandResult::of(getDeviceCount(&count), "");
    if (result.failed())
        return result;
    result.text = std::to_string(count) + " supported unit" + (count == 1 ? "" : "s");
    std::vector<JsonObject> units;
    int index = 0;
    for (const USBDevicePtr &device : USBFtdiDevice::enumerate(true)) {
        const VersionNumber version = hardwareVersion(*device);
        const bool supported = isSupportedHardware(version);
        const std::string serial = device->serialNumber.toStdString();
        const std::string hardware = std::to_string(version.major) + "." + std::to_string(version.minor);
        char line[128];
        const std::string indexText = supported ? std::to_string(++index) : "-";
        std::snprintf(line, sizeof line, "\n%-5s %-16s %-9s hardware %s%s", indexText.c_str(), serial.c_str(),
                      chipName(device->usbId), hardware.c_str(), supported ? "" : " (not supported)");
        result.text += line;
        JsonObject unit;
        if (supported)
            unit.addNumber("index", static_cast<int64_t>(index));
        else
            unit.addNull("index");
        unit.addText("serial", serial).addText("chip", chipName(device->usbId)).addText("hardware", hardware);
        units.push_back(unit.addBool("supported", supported));
    }
    result.fields.addNumber("count", static_cast<int64_t>(count)).addArray("units", units);
    return result;
}

const char *UnitListing::chipName(uint32_t usbId)
{
    switch (usbId & 0xFFFF) {
    case 0x6001: return "FT232R";
    case 0x6010: return "FT2232H";
    case 0x6011: return "FT4232H";
    case 0x6014: return "FT232H";
    case 0x6015: return "X-series";
    default: return "unknown";
    }
}
