#include "D2xxCheck.h"

#include "VelmorLib.hpp"

std::string D2xxCheck::missing()
{
    auto info = velmor::sized<VelmorD2xxInfo>();
    if (velmorGetD2xxInfo(&info) != VELMOR_OK || info.loaded != 0)
        return std::string();
    return std::string("FTDI's D2XX library (libftd2xx.so), through which VelmorLib reaches the units, is missing: ")
        + info.error + "\n" + installAdvice();
}

std::string D2xxCheck::installAdvice()
{
    return "get the D2XX driver for Linux from FTDI's website (ftdichip.com, Drivers, D2XX drivers), copy its "
           "libftd2xx.so to /usr/local/lib and run ldconfig (or name its folder in LD_LIBRARY_PATH)";
}
