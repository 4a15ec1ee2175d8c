// Strict parsing of command-line numbers: decimal, nothing before or after, within the range
// of the C parameter they feed. A negative number never wraps into an unsigned parameter.
#ifndef VELMORCTL_NUMBERPARSER_H
#define VELMORCTL_NUMBERPARSER_H

#include "ArgumentSpec.h"

#include <cstdint>
#include <string>

class NumberParser
{
public:
    // On failure, *problem says why: "'12x' is not a whole number".
    static bool parse(const std::string &text, ArgumentType type, int64_t *value, std::string *problem);
    static bool parseSeconds(const std::string &text, double *seconds, std::string *problem);
    // A decimal number with a fraction ("12.5", "-0.25", ".5"): a position in a profile's unit.
    static bool parseQuantity(const std::string &text, double *value, std::string *problem);
    static bool hasFraction(const std::string &text) { return text.find('.') != std::string::npos; }
    static bool isDecimalDigits(const std::string &text);

private:
    static bool parseInteger(const std::string &text, int64_t minimum, int64_t maximum, int64_t *value,
                             std::string *problem);
    static bool parseOnOff(const std::string &text, int64_t *value, std::string *problem);
};

#endif
