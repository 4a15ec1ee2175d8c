#include "ProfileCommands.h"

#include "ExitStatus.h"
#include "ProfileCatalog.h"
#include "VelmorLib.hpp"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace {

// The largest profile file taken, as the library takes them.
constexpr qint64 s_largestProfile = 1 << 20;

QJsonObject objectOf(const std::string &json)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
}

// A JSON text of the library's on one line, for --json.
std::string compact(const std::string &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    if (document.isNull())
        return "null";
    return document.toJson(QJsonDocument::Compact).toStdString();
}

std::string numberText(const QJsonValue &value)
{
    if (value.isDouble())
        return std::to_string(static_cast<int64_t>(value.toDouble()));
    return value.toString().toStdString();
}

// "speed 1250, stepMode 4": the values of one setting, as the profile names them.
std::string valuesText(const QJsonObject &values)
{
    std::string text;
    for (auto it = values.begin(); it != values.end(); ++it)
        text += (text.empty() ? "" : ", ") + it.key().toStdString() + " " + numberText(it.value());
    return text;
}

// One line of a profile's report: "current: fixed to current 8000, currentFlag 1".
std::string outcomeLine(const QJsonObject &entry, bool dryRun)
{
    const std::string outcome = entry.value("outcome").toString().toStdString();
    const std::string reason = entry.value("reason").toString().toStdString();
    std::string text;
    if (outcome == "applied")
        text = dryRun ? "would be applied" : "applied";
    else if (outcome == "unchanged")
        text = "unchanged";
    else if (outcome == "fixed")
        text = std::string(dryRun ? "would be fixed to " : "fixed to ") + valuesText(entry.value("written").toObject());
    else if (outcome == "refused")
        text = "refused" + (reason.empty() ? std::string() : ": " + reason);
    else if (outcome == "failed")
        text = "failed: code " + std::to_string(entry.value("code").toInt()) + ", " + reason;
    else
        text = outcome;
    return "  " + entry.value("setting").toString().toStdString() + ": " + text + "\n";
}

// "current.current" as the profile document has it: the settings of one value stand at the top
// of "settings", the others in their group ("backlash.amount").
std::string settingName(const QString &name)
{
    const QStringList parts = name.split('.');
    if (parts.size() != 2)
        return name.toStdString();
    for (const char *single : {"speed", "acceleration", "current", "pwm", "relay"}) {
        if (parts[0] == QLatin1String(single))
            return parts[1].toStdString();
    }
    return name.toStdString();
}

} // namespace

ProfileCommands::ProfileCommands(const Invocation &invocation, int32_t index, std::string unitText)
    : m_invocation(invocation), m_index(index), m_unitText(std::move(unitText))
{
}

CommandResult ProfileCommands::run() const
{
    switch (m_invocation.spec->id) {
    case CommandId::Save:
        return save();
    case CommandId::Diff:
        return diff();
    default:
        return load();
    }
}

CommandResult ProfileCommands::save() const
{
    std::string profile;
    const int32_t index = m_index;
    CommandResult result = CommandResult::of(
        ProfileCatalog::readText([index](char *text, uint32_t capacity, uint32_t *needed) {
            return velmorReadProfile(index, text, capacity, needed);
        }, &profile),
        "");
    if (result.failed())
        return result;
    while (!profile.empty() && profile.back() == '\n')
        profile.pop_back();
    result.fields.addJson("profile", compact(profile));
    if (m_invocation.file.empty()) {
        result.text = profile;
        return result;
    }
    // Written beside the file and renamed over it: a failed save leaves the old file whole.
    QSaveFile file(QString::fromStdString(m_invocation.file));
    const QByteArray bytes = QByteArray::fromStdString(profile + "\n");
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        result.exitStatus = ExitStatus::s_cannotCreate;
        result.text = "cannot write " + m_invocation.file + ": " + file.errorString().toStdString();
        return result;
    }
    result.text = "profile of " + m_unitText + " saved to " + m_invocation.file;
    result.fields.addText("file", m_invocation.file);
    return result;
}

bool ProfileCommands::readProfile(std::string *path, std::string *text, CommandResult *failure) const
{
    *path = m_invocation.file;
    if (path->empty()) {
        VelmorUnitInfo info = velmor::sized<VelmorUnitInfo>();
        const int32_t code = velmorGetUnitInfo(m_index, &info);
        if (code != VELMOR_OK) {
            *failure = CommandResult::of(code, "");
            return false;
        }
        *path = ProfileCatalog::userFolder() + "/" + info.serialNumber + ".json";
    }
    QFile file(QString::fromStdString(*path));
    if (!file.open(QIODevice::ReadOnly)) {
        *failure = CommandResult::of(VELMOR_OK, "");
        failure->exitStatus = ExitStatus::s_noInput;
        failure->text = "cannot read " + *path + ": " + file.errorString().toStdString();
        failure->fields.addText("file", *path);
        return false;
    }
    const QByteArray bytes = file.read(s_largestProfile + 1);
    if (bytes.size() > s_largestProfile) {
        *failure = CommandResult::of(VELMOR_OK, "");
        failure->exitStatus = ExitStatus::s_noInput;
        failure->text = *path + " is larger than a profile can be (1 MiB)";
        failure->fields.addText("file", *path);
        return false;
    }
    // A zero byte would end the text early at the C boundary, and what comes before it might
    // parse: such a file is refused whole here.
    *text = bytes.toStdString();
    const size_t zero = text->find('\0');
    if (zero != std::string::npos) {
        *failure = CommandResult::of(VELMOR_ERROR_ARGUMENT, "");
        failure->text += ": " + *path + ": line " + std::to_string(1 + std::count(text->begin(), text->begin() + zero, '\n'))
            + ": a zero byte, which no profile holds";
        failure->fields.addText("file", *path);
        return false;
    }
    return true;
}

CommandResult ProfileCommands::load() const
{
    std::string path;
    std::string profile;
    CommandResult result;
    if (!readProfile(&path, &profile, &result))
        return result;
    uint32_t flags = 0;
    if (m_invocation.fix)
        flags |= VELMOR_PROFILE_FIX;
    if (m_invocation.dryRun)
        flags |= VELMOR_PROFILE_DRY_RUN;
    if (m_invocation.spec->id == CommandId::Apply)
        flags |= VELMOR_PROFILE_ANY_UNIT;
    // Applied once only: a buffer that holds any report, never a second run of the writes.
    std::vector<char> buffer(1 << 18);
    uint32_t needed = 0;
    result = CommandResult::of(
        velmorApplyProfile(m_index, profile.c_str(), flags, buffer.data(), static_cast<uint32_t>(buffer.size()), &needed),
        "");
    const std::string report = buffer.data();
    const QJsonObject document = objectOf(report);
    result.fields.addText("file", path).addBool("dryRun", m_invocation.dryRun).addBool("fix", m_invocation.fix);
    if (!report.empty())
        result.fields.addJson("report", compact(report));
    if (document.contains("error")) {
        result.text += ": " + path + ": " + document.value("error").toString().toStdString();
        return result;
    }
    const QJsonArray settings = document.value("settings").toArray();
    if (settings.isEmpty() && result.failed())
        return result;
    std::string lines = "profile " + path + (m_invocation.dryRun ? " against " : " applied to ") + m_unitText
        + (m_invocation.dryRun ? " (dry run: nothing written):\n" : ":\n");
    int notTaken = 0;
    for (const QJsonValue &entry : settings) {
        lines += outcomeLine(entry.toObject(), m_invocation.dryRun);
        const QString outcome = entry.toObject().value("outcome").toString();
        notTaken += outcome == QLatin1String("refused") || outcome == QLatin1String("failed") ? 1 : 0;
    }
    if (settings.isEmpty())
        lines += "  (the profile holds no settings)\n";
    result.output = lines;
    if (result.failed())
        result.text += ": " + std::to_string(notTaken) + " of " + std::to_string(settings.size())
            + (settings.size() == 1 ? " setting" : " settings") + " of " + path + " not taken";
    else
        result.text = std::string();
    return result;
}

CommandResult ProfileCommands::diff() const
{
    std::string path;
    std::string profile;
    CommandResult result;
    if (!readProfile(&path, &profile, &result)) {
        return result;
    }
    std::string report;
    const int32_t index = m_index;
    result = CommandResult::of(ProfileCatalog::readText([&](char *text, uint32_t capacity, uint32_t *needed) {
        return velmorDiffProfile(index, profile.c_str(), text, capacity, needed);
    }, &report), "");
    const QJsonObject document = objectOf(report);
    result.fields.addText("file", path);
    if (!report.empty())
        result.fields.addJson("report", compact(report));
    if (result.failed()) {
        if (document.contains("error"))
            result.text += ": " + path + ": " + document.value("error").toString().toStdString();
        return result;
    }
    const QJsonArray settings = document.value("settings").toArray();
    result.fields.addBool("differs", !settings.isEmpty());
    if (settings.isEmpty()) {
        result.text = m_unitText + " holds every setting of " + path;
        return result;
    }
    for (const QJsonValue &value : settings) {
        const QJsonObject entry = value.toObject();
        result.output += settingName(entry.value("setting").toString()) + ": profile " + numberText(entry.value("profile"))
            + ", unit " + numberText(entry.value("unit")) + "\n";
    }
    result.exitStatus = ExitStatus::s_profileDiffers;
    result.statusIsAnswer = true;
    result.text = std::string();
    return result;
}
