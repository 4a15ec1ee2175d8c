#include "UnitInfoText.h"

std::string UnitInfoText::hardware(const VelmorUnitInfo &info)
{
    return std::to_string(info.hardwareMajor) + "." + std::to_string(info.hardwareMinor);
}

std::string UnitInfoText::firmware(const VelmorUnitInfo &info)
{
    return std::to_string(info.firmwareMajor) + "." + std::to_string(info.firmwareMinor);
}
