// Words for what the companion API says of a unit: its chip and versions.
#ifndef VELMORCTL_UNITINFOTEXT_H
#define VELMORCTL_UNITINFOTEXT_H

#include "VelmorLibExtras.h"

#include <string>

class UnitInfoText
{
public:
    // By the USB product ID of the listed chip.
    static const char *chipName(uint32_t usbId);
    static std::string hardware(const VelmorUnitInfo &info);
    static std::string firmware(const VelmorUnitInfo &info);
};

#endif
