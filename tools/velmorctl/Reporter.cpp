#include "Reporter.h"

#include "UsageError.h"

#include <algorithm>
#include <cstdio>

Reporter::Reporter(bool json)
    : m_json(json)
{
}

void Reporter::report(const Invocation &invocation, int32_t index, const CommandResult &result) const
{
    if (m_json)
        output(jsonOf(invocation, index, result).text() + "\n");
    else if (!result.output.empty())
        output(result.output);
    if (!m_json && !result.failed() && !(result.text.empty() && !result.output.empty()))
        output(result.text + "\n");
    else if (!m_json && result.statusIsAnswer && !result.text.empty())
        output(result.text + "\n");
    if (result.failed() && !result.statusIsAnswer) {
        std::fflush(stdout);
        std::fprintf(stderr, "velmorctl: %s: %s\n", subject(invocation).c_str(), result.text.c_str());
    }
}

void Reporter::part(const std::string &subject, const CommandResult &result) const
{
    output(result.output);
    if (!result.failed()) {
        if (!result.text.empty())
            output(result.text + "\n");
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "velmorctl: %s: %s\n", subject.c_str(), result.text.c_str());
}

void Reporter::usageError(const UsageError &error) const
{
    std::fflush(stdout);
    std::fprintf(stderr, "velmorctl: %s\n%s", error.what(), error.usage().c_str());
}

void Reporter::unavailable(const std::string &explanation) const
{
    std::fflush(stdout);
    size_t start = 0;
    while (start < explanation.size()) {
        const size_t end = std::min(explanation.find('\n', start), explanation.size());
        std::fprintf(stderr, "velmorctl: %s\n", explanation.substr(start, end - start).c_str());
        start = end + 1;
    }
}

void Reporter::output(const std::string &text) const
{
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

std::string Reporter::subject(const Invocation &invocation)
{
    std::string text = invocation.spec->name;
    if (invocation.spec->takesUnit)
        text += " unit " + invocation.unit;
    return text;
}

JsonObject Reporter::jsonOf(const Invocation &invocation, int32_t index, const CommandResult &result)
{
    JsonObject object;
    object.addText("command", invocation.spec->name);
    if (invocation.spec->takesUnit) {
        object.addText("unit", invocation.unit);
        object.addNumber("index", static_cast<int64_t>(index));
    }
    object.addNumber("code", static_cast<int64_t>(result.code));
    object.addText("text", CommandResult::textOf(result.code));
    if (!invocation.spec->arguments.empty())
        object.addObject("arguments", argumentsOf(invocation));
    return object.append(result.fields);
}

JsonObject Reporter::argumentsOf(const Invocation &invocation)
{
    JsonObject arguments;
    for (size_t i = 0; i < invocation.spec->arguments.size(); ++i) {
        const ArgumentSpec &argument = invocation.spec->arguments[i];
        if (argument.type == ArgumentType::OnOff)
            arguments.addBool(argument.jsonName, invocation.values[i] != 0);
        else if (argument.type == ArgumentType::Position && invocation.fractional)
            arguments.addExactNumber(argument.jsonName, invocation.quantity);
        else
            arguments.addNumber(argument.jsonName, invocation.values[i]);
    }
    return arguments;
}
