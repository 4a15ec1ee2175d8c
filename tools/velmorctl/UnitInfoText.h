// Words for what the companion API says of a unit: its versions.
#ifndef VELMORCTL_UNITINFOTEXT_H
#define VELMORCTL_UNITINFOTEXT_H

#include "VelmorLibExtras.h"

#include <string>

class UnitInfoText
{
public:
    static std::string hardware(const VelmorUnitInfo &info);
    static std::string firmware(const VelmorUnitInfo &info);
};

#endif
