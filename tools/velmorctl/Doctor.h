// velmorctl doctor: checks what stands between the library and the units, each problem with
// its fix in words: whether velmord serves the calls, the D2XX library in use, the kernel's serial
// driver, device permissions, units another process holds, and firmware a unit's hardware does
// not accept.
#ifndef VELMORCTL_DOCTOR_H
#define VELMORCTL_DOCTOR_H

#include "DoctorFinding.h"

#include <cstdint>
#include <string>
#include <vector>

class Reporter;

class Doctor
{
public:
    // root: where sysfs, /dev and /proc are found ("/" but in tests).
    explicit Doctor(const std::string &root);

    // Prints every finding; 0 when nothing is wrong, else ExitStatus::s_problemFound.
    int run(const Reporter &reporter);

private:
    void checkD2xx(bool throughVelmord);
    void checkUnitsThroughLibrary();
    static DoctorFinding unitFinding(int32_t index);
    std::string text() const;

    std::string m_root;
    std::vector<DoctorFinding> m_findings;
};

#endif
