// Whether FTDI's D2XX library is there for the library to reach the units, and in words what
// to do when it is not.
#ifndef VELMORCTL_D2XXCHECK_H
#define VELMORCTL_D2XXCHECK_H

#include <string>

class D2xxCheck
{
public:
    // The exit status of a run that needs units when D2XX is missing (EX_UNAVAILABLE).
    static constexpr int s_missingStatus = 69;

    // Empty when D2XX is loaded; else what is missing and where to get it, one sentence a line.
    static std::string missing();
    // How to install FTDI's D2XX library.
    static std::string installAdvice();
};

#endif
