#include "VelmorctlLineCheck.h"

#include "JsonObject.h"
#include "UnitAddress.h"
#include "UsageError.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr double s_year = 365.0 * 24 * 3600;

QString text(const std::string &bytes)
{
    return QString::fromLatin1(QByteArray::fromStdString(bytes).toHex());
}

// The tool writes every word it was given into JSON somewhere: each must parse back.
QString checkJson(const std::string &word)
{
    const std::string line = JsonObject().addText("unit", word).text();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    if (error.error != QJsonParseError::NoError || !document.object().contains(QStringLiteral("unit")))
        return QStringLiteral("the JSON of word %1 does not parse: %2").arg(text(word), error.errorString());
    return QString();
}

QString checkInvocation(const Invocation &invocation)
{
    if (invocation.spec == nullptr)
        return QStringLiteral("an invocation without a command");
    if (invocation.spec->takesUnit && !UnitAddress::problem(invocation.unit).empty())
        return QStringLiteral("UNIT %1 accepted").arg(text(invocation.unit));
    if (invocation.spec->id != CommandId::Help && invocation.values.size() != invocation.spec->arguments.size())
        return QStringLiteral("%1 has %2 values").arg(invocation.spec->name).arg(invocation.values.size());
    if (!(invocation.timeoutSeconds > 0 && invocation.timeoutSeconds <= s_year))
        return QStringLiteral("a time-out of %1 s accepted").arg(invocation.timeoutSeconds);
    return QString();
}

} // namespace

QString checkVelmorctlLine(const std::vector<std::string> &words, CommandLineParser::Source source)
{
    for (const std::string &word : words) {
        const QString broken = checkJson(word);
        if (!broken.isEmpty())
            return broken;
    }
    ParsedLine line;
    try {
        line = CommandLineParser(words, source).parse();
    } catch (const UsageError &error) {
        if (std::string(error.what()).empty() || error.usage().rfind("usage: ", 0) != 0)
            return QStringLiteral("a usage error without its words: '%1'").arg(QString::fromStdString(error.what()));
        return QString();
    }
    if (!(line.retryBusySeconds >= 0 && line.retryBusySeconds <= s_year))
        return QStringLiteral("--retry-busy of %1 s accepted").arg(line.retryBusySeconds);
    for (const Invocation &invocation : line.invocations) {
        const QString broken = checkInvocation(invocation);
        if (!broken.isEmpty())
            return broken;
    }
    return QString();
}
