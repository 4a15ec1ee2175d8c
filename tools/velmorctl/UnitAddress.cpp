#include "UnitAddress.h"

#include "NumberParser.h"

#include <cctype>

namespace {

bool digitsAt(const std::string &word, size_t first, size_t count)
{
    for (size_t i = first; i < first + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(word[i])))
            return false;
    }
    return true;
}

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

} // namespace

const char *const UnitAddress::s_reach = "the library addresses units 1 to 99";

std::string UnitAddress::problem(const std::string &word)
{
    if (word.empty())
        return "it is empty: give a device index (1 to 99) or a serial number such as JXah00102";
    if (isIndex(word)) {
        const int32_t value = index(word);
        if (value < 1 || value > s_highestIndex)
            return "'" + word + "' is out of range: " + s_reach;
        return std::string();
    }
    if (isSerialNumber(word))
        return std::string();
    return "'" + word + "' is neither a device index (1 to 99) nor a serial number (such as JXah00102)";
}

bool UnitAddress::isIndex(const std::string &word)
{
    return NumberParser::isDecimalDigits(word);
}

bool UnitAddress::isSerialNumber(const std::string &word)
{
    if (word.size() != 9 && word.size() != 13)
        return false;
    const bool shaped = lower(word[0]) == 'j' && lower(word[1]) == 'x' && (lower(word[2]) == 'a' || lower(word[2]) == 'b')
        && (lower(word[3]) == 'h' || lower(word[3]) == 'p') && digitsAt(word, 4, 5);
    if (!shaped || word.size() == 9)
        return shaped;
    return digitsAt(word, 9, 4)
        || (lower(word[9]) == 'x' && lower(word[10]) == 'x' && lower(word[11]) == 'x' && lower(word[12]) == 'x');
}

// Digits beyond the highest index count as a number past it.
int32_t UnitAddress::index(const std::string &word)
{
    const size_t first = word.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    if (word.size() - first > 3)
        return s_highestIndex + 1;
    return static_cast<int32_t>(std::stoi(word.substr(first)));
}
