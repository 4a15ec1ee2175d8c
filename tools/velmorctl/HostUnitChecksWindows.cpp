#include "HostUnitChecks.h"

// FTDI's driver owns the units on Windows: no serial driver to unbind, no device nodes.
std::vector<DoctorFinding> HostUnitChecks::run(const std::string &, bool)
{
    return {DoctorFinding::good("usb", "USB", "the kernel's serial driver and device permissions are not checked on Windows")};
}
