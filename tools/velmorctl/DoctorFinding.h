// One outcome of `velmorctl doctor`: what was checked, what was found and, for a problem, the fix.
#ifndef VELMORCTL_DOCTORFINDING_H
#define VELMORCTL_DOCTORFINDING_H

#include <string>

struct DoctorFinding
{
    bool ok = true;
    std::string check;      // "d2xx", "serial-driver", "permissions", "busy", "unit"
    std::string subject;    // "D2XX", "unit JXah00102 (USB 1-1)", "unit 2"
    std::string text;       // what was found
    std::string fix;        // for a problem: what to do, in words

    static DoctorFinding good(const std::string &check, const std::string &subject, const std::string &text)
    {
        return {true, check, subject, text, std::string()};
    }
    static DoctorFinding problem(const std::string &check, const std::string &subject, const std::string &text,
                                 const std::string &fix)
    {
        return {false, check, subject, text, fix};
    }
};

#endif
