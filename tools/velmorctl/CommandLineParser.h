// Turns the words of a command line (or of one shell line) into checked invocations. The whole
// line is parsed before anything runs, so a usage error means no library call at all.
#ifndef VELMORCTL_COMMANDLINEPARSER_H
#define VELMORCTL_COMMANDLINEPARSER_H

#include "Invocation.h"

#include <string>
#include <vector>

class CommandLineParser
{
public:
    enum class Source { CommandLine, ShellLine };

    CommandLineParser(const std::vector<std::string> &words, Source source);

    // Throws UsageError. A help request anywhere makes the line that help request alone.
    ParsedLine parse();

    // The words of a shell line: split at white space; a word starting with '#' begins a comment
    // to the line's end.
    static std::vector<std::string> shellWords(const std::string &line);

private:
    // Thrown inside the parser to end it with a help request.
    struct HelpRequest
    {
        const CommandSpec *topic;
    };

    Invocation parseCommand(const CommandSpec &spec);
    void parseUnit(const CommandSpec &spec, Invocation *invocation);
    void parseArguments(const CommandSpec &spec, Invocation *invocation);
    void parseOptionalFile(Invocation *invocation);
    void parseApplyWords(const CommandSpec &spec, Invocation *invocation);
    void parseOptions(const CommandSpec &spec, Invocation *invocation);
    void parseTimeout(const CommandSpec &spec, const std::string &word, Invocation *invocation);
    // --retry-busy SECONDS or --retry-busy=SECONDS, anywhere an option may stand; false for another word.
    bool parseRetryBusy(const std::string &word, const CommandSpec *spec);
    std::string optionValue(const std::string &word, const char *option, const CommandSpec *spec);
    const CommandSpec *parseHelpTopic();
    const std::string &takeArgument(const CommandSpec &spec, const char *name);
    const CommandSpec &commandNamed(const std::string &word, const Invocation *previous) const;
    void checkScope(const CommandSpec &spec, size_t commandCount) const;
    bool atEnd() const;
    static bool isHelpWord(const std::string &word);
    static bool isOptionWord(const std::string &word);

    std::vector<std::string> m_words;
    Source m_source;
    size_t m_next = 0;
    bool m_json = false;
    double m_retryBusySeconds = 0;
};

#endif
