// list: the count of supported units from the library, and every unit on the bus with its
// listed serial number, chip, hardware version and whether the library supports it.
#ifndef VELMORCTL_UNITLISTING_H
#define VELMORCTL_UNITLISTING_H

#include "CommandResult.h"

class UnitListing
{
public:
    static CommandResult run();

private:
    static const char *chipName(uint32_t usbId);
};

#endif
