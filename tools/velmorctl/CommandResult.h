// What one command came to: the library's code, the exit status, the line for a person and
// the members for --json.
#ifndef VELMORCTL_COMMANDRESULT_H
#define VELMORCTL_COMMANDRESULT_H

#include "JsonObject.h"

#include <cstdint>
#include <string>

struct CommandResult
{
    int32_t code = 0;       // the code of the library call that failed; 0 when every call succeeded
    int exitStatus = 0;     // 0, the failing code, or one of ExitStatus
    std::string text;       // success: the outcome ("position of unit 1: 500"); else what went wrong
    JsonObject fields;      // members the command adds to its JSON object
    // Lines for a person that go to standard output whatever the outcome (a profile's report per
    // setting), before `text`; not printed with --json, where `fields` carry them.
    std::string output;
    // The exit status answers a question (diff: the unit differs) and is no failure: nothing on
    // standard error.
    bool statusIsAnswer = false;

    // The result of one library call: text on success, the code's own text otherwise.
    static CommandResult of(int32_t code, const std::string &successText);
    // The library's words for a code: "success" for 0, "unknown result code N" for a code it
    // does not know.
    static std::string textOf(int32_t code);
    bool failed() const { return exitStatus != 0; }
};

#endif
