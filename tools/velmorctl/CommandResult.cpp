#include "CommandResult.h"

#include "ResultText.h"

CommandResult CommandResult::of(int32_t code, const std::string &successText)
{
    CommandResult result;
    result.code = code;
    result.exitStatus = code;
    result.text = code == 0 ? successText : ResultText::of(code) + " (code " + std::to_string(code) + ")";
    return result;
}
