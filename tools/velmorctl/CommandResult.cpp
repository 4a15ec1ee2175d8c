#include "CommandResult.h"

#include "VelmorLibExtras.h"

#include <cstring>

namespace {

// What velmorResultText says of a code the library does not know.
constexpr const char *s_unknownCodeText = "unknown result code";

} // namespace

CommandResult CommandResult::of(int32_t code, const std::string &successText)
{
    CommandResult result;
    result.code = code;
    result.exitStatus = code;
    result.text = code == 0 ? successText : textOf(code) + " (code " + std::to_string(code) + ")";
    return result;
}

std::string CommandResult::textOf(int32_t code)
{
    const char *text = velmorResultText(code);
    if (std::strcmp(text, s_unknownCodeText) == 0)
        return std::string(text) + " " + std::to_string(code);
    return text;
}
