// The input: what a shell session reads from standard input, line by line.
#include "FuzzEntries.h"
#include "VelmorctlLineCheck.h"

#include <QList>

#include <cctype>

namespace {

QString checkWords(const std::vector<std::string> &words)
{
    for (const std::string &word : words) {
        if (word.empty() || word[0] == '#')
            return QStringLiteral("an empty word or a comment kept");
        for (char c : word) {
            if (std::isspace(static_cast<unsigned char>(c)))
                return QStringLiteral("a word with a blank in it");
        }
    }
    return QString();
}

} // namespace

QString FuzzEntries::velmorctlShell(const QByteArray &input)
{
    for (const QByteArray &line : input.split('\n')) {
        const std::vector<std::string> words = CommandLineParser::shellWords(line.toStdString());
        QString broken = checkWords(words);
        if (broken.isEmpty() && !words.empty())
            broken = checkVelmorctlLine(words, CommandLineParser::Source::ShellLine);
        if (!broken.isEmpty())
            return broken;
    }
    return QString();
}
