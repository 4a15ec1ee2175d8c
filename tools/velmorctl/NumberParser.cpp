#include "NumberParser.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Longer waits than a year are a typing error.
constexpr double s_longestTimeoutSeconds = 365.0 * 24 * 3600;

std::string quoted(const std::string &text)
{
    return "'" + text + "'";
}

std::string rangeText(int64_t minimum, int64_t maximum)
{
    return "(" + std::to_string(minimum) + " to " + std::to_string(maximum) + ")";
}

} // namespace

bool NumberParser::parse(const std::string &text, ArgumentType type, int64_t *value, std::string *problem)
{
    switch (type) {
    case ArgumentType::Int32:
    case ArgumentType::Position:
        return parseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), value, problem);
    case ArgumentType::UInt8:
        return parseInteger(text, 0, std::numeric_limits<uint8_t>::max(), value, problem);
    case ArgumentType::UInt32:
        return parseInteger(text, 0, std::numeric_limits<uint32_t>::max(), value, problem);
    case ArgumentType::OnOff:
        return parseOnOff(text, value, problem);
    }
    return false;
}

bool NumberParser::isDecimalDigits(const std::string &text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool NumberParser::parseInteger(const std::string &text, int64_t minimum, int64_t maximum, int64_t *value,
                                std::string *problem)
{
    const bool negative = !text.empty() && text[0] == '-';
    const bool signed_ = !text.empty() && (text[0] == '-' || text[0] == '+');
    const std::string digits = signed_ ? text.substr(1) : text;
    if (!isDecimalDigits(digits)) {
        *problem = quoted(text) + " is not a whole number";
        return false;
    }
    // Anything beyond 12 significant digits is far outside every range here.
    const size_t firstNonZero = digits.find_first_not_of('0');
    const bool tooLong = firstNonZero != std::string::npos && digits.size() - firstNonZero > 12;
    const int64_t magnitude = tooLong ? 0 : std::strtoll(digits.c_str(), nullptr, 10);
    const int64_t parsed = negative ? -magnitude : magnitude;
    if (tooLong || parsed < minimum || parsed > maximum) {
        *problem = quoted(text) + " is out of range " + rangeText(minimum, maximum);
        return false;
    }
    *value = parsed;
    return true;
}

bool NumberParser::parseOnOff(const std::string &text, int64_t *value, std::string *problem)
{
    if (text == "on" || text == "1") {
        *value = 1;
        return true;
    }
    if (text == "off" || text == "0") {
        *value = 0;
        return true;
    }
    *problem = quoted(text) + " is neither on nor off";
    return false;
}

bool NumberParser::parseQuantity(const std::string &text, double *value, std::string *problem)
{
    const bool signed_ = !text.empty() && (text[0] == '-' || text[0] == '+');
    const std::string digits = signed_ ? text.substr(1) : text;
    const size_t dot = digits.find('.');
    const std::string whole = digits.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : digits.substr(dot + 1);
    const bool wellFormed = dot != std::string::npos && (isDecimalDigits(whole) || whole.empty())
        && (isDecimalDigits(fraction) || fraction.empty()) && !(whole.empty() && fraction.empty());
    if (!wellFormed) {
        *problem = quoted(text) + " is not a number";
        return false;
    }
    const size_t firstNonZero = whole.find_first_not_of('0');
    if (firstNonZero != std::string::npos && whole.size() - firstNonZero > 12) {
        *problem = quoted(text) + " is out of range (at most 12 digits before the point)";
        return false;
    }
    *value = std::strtod(text.c_str(), nullptr);
    return true;
}

bool NumberParser::parseSeconds(const std::string &text, double *seconds, std::string *problem)
{
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string("0") : text.substr(dot + 1);
    const bool wellFormed = (isDecimalDigits(whole) || (whole.empty() && dot != std::string::npos))
        && (isDecimalDigits(fraction) || (fraction.empty() && !whole.empty()));
    if (!wellFormed) {
        *problem = quoted(text) + " is not a number of seconds";
        return false;
    }
    const double parsed = std::strtod(text.c_str(), nullptr);
    if (!(parsed > 0.0) || parsed > s_longestTimeoutSeconds) {
        *problem = quoted(text) + " is out of range (more than 0, at most a year)";
        return false;
    }
    *seconds = parsed;
    return true;
}
