#include "UnitInfoText.h"

const char *UnitInfoText::chipName(uint32_t usbId)
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

std::string UnitInfoText::hardware(const VelmorUnitInfo &info)
{
    return std::to_string(info.hardwareMajor) + "." + std::to_string(info.hardwareMinor);
}

std::string UnitInfoText::firmware(const VelmorUnitInfo &info)
{
    return std::to_string(info.firmwareMajor) + "." + std::to_string(info.firmwareMinor);
}
