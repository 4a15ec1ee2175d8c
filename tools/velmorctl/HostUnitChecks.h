// What the operating system says of the units on USB, for `velmorctl doctor`: on Linux, from
// sysfs, /dev/bus/usb and /proc under a root folder ("/" but in tests): the units (FTDI's vendor
// 0403, a serial starting "JX") bound to the kernel's ftdi_sio driver, device nodes the user
// cannot open, and nodes another process holds open. Where velmord serves this program's calls,
// velmord has every unit open and opens them for it: neither is a problem then.
#ifndef VELMORCTL_HOSTUNITCHECKS_H
#define VELMORCTL_HOSTUNITCHECKS_H

#include "DoctorFinding.h"

#include <string>
#include <vector>

class HostUnitChecks
{
public:
    static std::vector<DoctorFinding> run(const std::string &root, bool throughVelmord);
};

#endif
