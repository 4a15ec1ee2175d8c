// Whether FTDI's D2XX library is there for the library to reach the units, and in words what
// to do when it is not.
#ifndef VELMORCTL_D2XXCHECK_H
#define VELMORCTL_D2XXCHECK_H

#include <string>

class D2xxCheck
{
public:
    // Empty when D2XX is loaded; else what is missing and where to get it, one sentence a line.
    static std::string missing();
    // How to install FTDI's D2XX library.
    static std::string installAdvice();
};

#endif
