// A command line the tool cannot run: what is wrong, and the usage lines ("usage: ...\n")
// that show the way.
#ifndef VELMORCTL_USAGEERROR_H
#define VELMORCTL_USAGEERROR_H

#include <stdexcept>
#include <string>

class UsageError : public std::runtime_error
{
public:
    UsageError(const std::string &message, const std::string &usage)
        : std::runtime_error(message), m_usage(usage)
    {
    }

    const std::string &usage() const { return m_usage; }

private:
    std::string m_usage;
};

#endif
