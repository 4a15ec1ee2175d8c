#include "CommandLineParser.h"

#include "CommandTable.h"
#include "HelpText.h"
#include "NumberParser.h"
#include "UnitAddress.h"
#include "UsageError.h"

#include <sstream>

namespace {

const char s_timeoutOption[] = "--timeout";
const char s_retryBusyOption[] = "--retry-busy";

UsageError commandError(const CommandSpec &spec, const std::string &message)
{
    return UsageError(std::string(spec.name) + ": " + message, "usage: " + HelpText::usage(spec) + "\n");
}

// An error in an option that stands before any command.
UsageError optionError(const CommandSpec *spec, const std::string &message)
{
    if (spec != nullptr)
        return commandError(*spec, message);
    return UsageError(message, HelpText::toolUsage());
}

} // namespace

CommandLineParser::CommandLineParser(const std::vector<std::string> &words, Source source)
    : m_words(words), m_source(source)
{
}

ParsedLine CommandLineParser::parse()
{
    ParsedLine line;
    try {
        while (!atEnd()) {
            const std::string &word = m_words[m_next];
            if (word == "--json") {
                m_json = true;
                ++m_next;
                continue;
            }
            if (parseRetryBusy(word, line.invocations.empty() ? nullptr : line.invocations.back().spec))
                continue;
            if (isHelpWord(word))
                throw HelpRequest{nullptr};
            if (word == "--version") {
                Invocation version;
                version.spec = &CommandTable::of(CommandId::Version);
                line.invocations.push_back(version);
                ++m_next;
                continue;
            }
            const CommandSpec &spec = commandNamed(word, line.invocations.empty() ? nullptr : &line.invocations.back());
            ++m_next;
            checkScope(spec, line.invocations.size());
            line.invocations.push_back(parseCommand(spec));
        }
    } catch (const HelpRequest &request) {
        Invocation help;
        help.spec = &CommandTable::of(CommandId::Help);
        help.helpTopic = request.topic;
        line.invocations = {help};
    }
    if (line.invocations.size() > 1 && line.invocations.front().spec->id == CommandId::Shell)
        throw commandError(CommandTable::of(CommandId::Shell), "takes no further commands");
    line.json = m_json;
    line.retryBusySeconds = m_retryBusySeconds;
    return line;
}

Invocation CommandLineParser::parseCommand(const CommandSpec &spec)
{
    if (spec.id == CommandId::Help)
        throw HelpRequest{parseHelpTopic()};
    Invocation invocation;
    invocation.spec = &spec;
    if (spec.id == CommandId::Apply) {
        parseApplyWords(spec, &invocation);
    } else {
        if (spec.takesUnit)
            parseUnit(spec, &invocation);
        parseArguments(spec, &invocation);
        if (spec.id == CommandId::Save || spec.id == CommandId::Load || spec.id == CommandId::Diff)
            parseOptionalFile(&invocation);
    }
    parseOptions(spec, &invocation);
    if (invocation.inSteps && invocation.fractional)
        throw commandError(spec, std::string(spec.arguments[0].name) + ": '" + invocation.quantityText
                                     + "' is not a whole number of full steps (--steps)");
    return invocation;
}

// A FILE may follow UNIT; a word that names a command starts that command instead (a file of
// that name is given as ./NAME).
void CommandLineParser::parseOptionalFile(Invocation *invocation)
{
    if (atEnd() || isOptionWord(m_words[m_next]) || CommandTable::find(m_words[m_next]) != nullptr)
        return;
    invocation->file = m_words[m_next++];
    if (invocation->file.empty())
        throw commandError(*invocation->spec, "FILE: it is empty");
}

// apply FILE UNIT...: every word up to the next command or option is a UNIT.
void CommandLineParser::parseApplyWords(const CommandSpec &spec, Invocation *invocation)
{
    invocation->file = takeArgument(spec, "FILE");
    if (invocation->file.empty())
        throw commandError(spec, "FILE: it is empty");
    invocation->units.push_back(takeArgument(spec, "UNIT"));
    while (!atEnd() && !isOptionWord(m_words[m_next]) && CommandTable::find(m_words[m_next]) == nullptr)
        invocation->units.push_back(m_words[m_next++]);
    for (const std::string &unit : invocation->units) {
        const std::string problem = UnitAddress::problem(unit);
        if (!problem.empty())
            throw commandError(spec, "UNIT: " + problem);
    }
    invocation->unit = invocation->units.front();
}

void CommandLineParser::parseUnit(const CommandSpec &spec, Invocation *invocation)
{
    invocation->unit = takeArgument(spec, "UNIT");
    const std::string problem = UnitAddress::problem(invocation->unit);
    if (!problem.empty())
        throw commandError(spec, "UNIT: " + problem);
}

void CommandLineParser::parseArguments(const CommandSpec &spec, Invocation *invocation)
{
    for (const ArgumentSpec &argument : spec.arguments) {
        const std::string &word = takeArgument(spec, argument.name);
        int64_t value = 0;
        std::string problem;
        if (argument.type == ArgumentType::Position && NumberParser::hasFraction(word)) {
            if (!NumberParser::parseQuantity(word, &invocation->quantity, &problem))
                throw commandError(spec, std::string(argument.name) + ": " + problem);
            invocation->fractional = true;
            invocation->quantityText = word;
            invocation->values.push_back(0);
            continue;
        }
        if (!NumberParser::parse(word, argument.type, &value, &problem))
            throw commandError(spec, std::string(argument.name) + ": " + problem);
        invocation->values.push_back(value);
        invocation->quantity = static_cast<double>(value);
    }
}

void CommandLineParser::parseOptions(const CommandSpec &spec, Invocation *invocation)
{
    while (!atEnd() && isOptionWord(m_words[m_next])) {
        if (parseRetryBusy(m_words[m_next], &spec))
            continue;
        const std::string word = m_words[m_next++];
        if (isHelpWord(word))
            throw HelpRequest{&spec};
        if (word == "--json")
            m_json = true;
        else if (spec.waits && word == "--wait")
            invocation->wait = true;
        else if (spec.waits && word.compare(0, sizeof s_timeoutOption - 1, s_timeoutOption) == 0)
            parseTimeout(spec, word, invocation);
        else if (spec.id == CommandId::Doctor && word == "--root")
            invocation->root = takeArgument(spec, "DIR");
        else if ((spec.id == CommandId::MoveTo || spec.id == CommandId::MoveBy) && word == "--steps")
            invocation->inSteps = true;
        else if ((spec.id == CommandId::Load || spec.id == CommandId::Apply) && word == "--fix")
            invocation->fix = true;
        else if ((spec.id == CommandId::Load || spec.id == CommandId::Apply) && word == "--dry-run")
            invocation->dryRun = true;
        else
            throw commandError(spec, "unknown option '" + word + "'");
    }
}

void CommandLineParser::parseTimeout(const CommandSpec &spec, const std::string &word, Invocation *invocation)
{
    const std::string value = optionValue(word, s_timeoutOption, &spec);
    std::string problem;
    if (!NumberParser::parseSeconds(value, &invocation->timeoutSeconds, &problem))
        throw commandError(spec, "--timeout: " + problem);
}

bool CommandLineParser::parseRetryBusy(const std::string &word, const CommandSpec *spec)
{
    if (word.compare(0, sizeof s_retryBusyOption - 1, s_retryBusyOption) != 0)
        return false;
    ++m_next;
    const std::string value = optionValue(word, s_retryBusyOption, spec);
    std::string problem;
    if (!NumberParser::parseSeconds(value, &m_retryBusySeconds, &problem))
        throw optionError(spec, std::string(s_retryBusyOption) + ": " + problem);
    return true;
}

// The value of "--option VALUE" (the next word) or of "--option=VALUE".
std::string CommandLineParser::optionValue(const std::string &word, const char *option, const CommandSpec *spec)
{
    const std::string name = option;
    if (word == name) {
        if (atEnd())
            throw optionError(spec, name + " needs SECONDS");
        return m_words[m_next++];
    }
    if (word.size() > name.size() && word[name.size()] == '=')
        return word.substr(name.size() + 1);
    throw optionError(spec, "unknown option '" + word + "'");
}

const CommandSpec *CommandLineParser::parseHelpTopic()
{
    if (atEnd() || isOptionWord(m_words[m_next]))
        return nullptr;
    const std::string &word = m_words[m_next++];
    const CommandSpec *topic = CommandTable::find(word);
    if (topic == nullptr)
        throw commandError(CommandTable::of(CommandId::Help), "unknown command '" + word + "'");
    return topic;
}

// "-200" is a number; a word starting with "--" where an argument belongs means it is missing.
const std::string &CommandLineParser::takeArgument(const CommandSpec &spec, const char *name)
{
    if (!atEnd() && isHelpWord(m_words[m_next]))
        throw HelpRequest{&spec};
    if (atEnd() || isOptionWord(m_words[m_next]))
        throw commandError(spec, std::string("missing argument ") + name);
    return m_words[m_next++];
}

const CommandSpec &CommandLineParser::commandNamed(const std::string &word, const Invocation *previous) const
{
    const CommandSpec *spec = CommandTable::find(word);
    if (spec != nullptr)
        return *spec;
    if (previous != nullptr)
        throw commandError(*previous->spec, "unexpected argument '" + word + "'");
    if (m_source == Source::ShellLine)
        throw UsageError("unknown command '" + word + "'",
                         "usage: COMMAND [ARGS...] [OPTIONS]...; help lists the commands\n");
    throw UsageError("unknown command '" + word + "'", HelpText::toolUsage());
}

void CommandLineParser::checkScope(const CommandSpec &spec, size_t commandCount) const
{
    if (spec.scope == CommandScope::ShellOnly && m_source == Source::CommandLine)
        throw commandError(spec, "works only inside the shell");
    if (spec.scope == CommandScope::CommandLineOnly && m_source == Source::ShellLine)
        throw commandError(spec, "is not available inside the shell");
    if (spec.scope == CommandScope::CommandLineOnly && commandCount > 0)
        throw commandError(spec, "takes no other commands");
}

std::vector<std::string> CommandLineParser::shellWords(const std::string &line)
{
    std::vector<std::string> result;
    std::istringstream stream(line);
    std::string word;
    while (stream >> word) {
        if (word[0] == '#')
            break;
        result.push_back(word);
    }
    return result;
}

bool CommandLineParser::atEnd() const
{
    return m_next >= m_words.size();
}

bool CommandLineParser::isHelpWord(const std::string &word)
{
    return word == "--help" || word == "-h";
}

bool CommandLineParser::isOptionWord(const std::string &word)
{
    return word.compare(0, 2, "--") == 0 || word == "-h";
}
