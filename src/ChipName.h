// The name of an FTDI chip by D2XX's FT_DEVICE number, as the library's surfaces show it.
#ifndef CHIPNAME_H
#define CHIPNAME_H

#include <cstdint>

class ChipName
{
public:
    // "FT232R" for 5, ...; "unknown" for a number the library does not know.
    static const char *of(uint32_t chipType);
};

#endif // CHIPNAME_H
