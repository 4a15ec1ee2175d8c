// The input: the words of a command line, each ended by a zero byte (the last one by the end).
#include "FuzzEntries.h"
#include "VelmorctlLineCheck.h"

#include <QList>

QString FuzzEntries::velmorctlCommandLine(const QByteArray &input)
{
    std::vector<std::string> words;
    for (const QByteArray &word : input.split('\0'))
        words.push_back(word.toStdString());
    if (!input.isEmpty() && input.endsWith('\0'))
        words.pop_back();
    return checkVelmorctlLine(words, CommandLineParser::Source::CommandLine);
}
