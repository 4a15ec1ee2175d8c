#include "ProfileStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

namespace {

QString keyOf(const QString &serial)
{
    return serial.toLower();
}

// Takes the values `update` has over `base`.
void merge(std::optional<qint64> &base, const std::optional<qint64> &update)
{
    if (update)
        base = update;
}

} // namespace

ProfileStore &ProfileStore::instance()
{
    static auto *const store = new ProfileStore();
    return *store;
}

QStringList ProfileStore::defaultFolders()
{
    const QString chosen = qEnvironmentVariable("VELMOR_PROFILES");
    if (chosen == QLatin1String("off"))
        return {};
    if (!chosen.isEmpty())
        return {chosen};
#ifdef Q_OS_WIN
    const QString user = qEnvironmentVariable("APPDATA");
    return {user.isEmpty() ? QString() : QDir::toNativeSeparators(user + QStringLiteral("/velmorlib/units"))};
#else
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = qEnvironmentVariable("HOME") + QStringLiteral("/.config");
    return {config + QStringLiteral("/velmorlib/units"), QStringLiteral("/etc/velmorlib/units")};
#endif
}

ProfileStore::LoadReport ProfileStore::load(const QStringList &folders)
{
    LoadReport report;
    QMap<QString, UnitProfile> profiles;
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        report.folders << QDir::toNativeSeparators(folder);
        const QDir directory(folder);
        for (const QFileInfo &file : directory.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            // Paths in the words a user reads are the system's own (C:\Users\... on Windows).
            const QString path = QDir::toNativeSeparators(file.filePath());
            QFile input(file.filePath());
            if (!input.open(QIODevice::ReadOnly)) {
                report.problems << path + QStringLiteral(": cannot be read");
                continue;
            }
            QString error;
            const std::optional<UnitProfile> profile = UnitProfile::fromJson(input.read(1 << 20), &error);
            if (!profile || profile->serialNumber.isEmpty()) {
                report.problems << path + QStringLiteral(": ")
                                       + (profile ? QStringLiteral("line 1: no \"serialNumber\": which unit is it for?") : error);
                continue;
            }
            if (profiles.contains(keyOf(profile->serialNumber)))
                continue;
            profiles.insert(keyOf(profile->serialNumber), *profile);
            report.loaded << path;
        }
    }
    // A loaded profile's settings are what the profile asks for, not what the unit holds: they
    // reach the unit only when the profile is applied.
    std::lock_guard<std::mutex> guard(m_mutex);
    m_profiles = profiles;
    return report;
}

std::optional<UnitProfile> ProfileStore::profileOf(const QString &serial)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_profiles.constFind(keyOf(serial));
    return found == m_profiles.constEnd() ? std::nullopt : std::optional<UnitProfile>(*found);
}

void ProfileStore::noteApplied(const QString &serial, const ProfileSettings &writeOnly)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    ProfileSettings &applied = m_applied[keyOf(serial)];
    for (auto field : {&ProfileSettings::input1, &ProfileSettings::type1, &ProfileSettings::input2,
                       &ProfileSettings::type2, &ProfileSettings::pwm, &ProfileSettings::relay})
        merge(applied.*field, writeOnly.*field);
    if (writeOnly.pwmStepMode)
        applied.pwmStepMode = writeOnly.pwmStepMode;
}

ProfileSettings ProfileStore::lastApplied(const QString &serial)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_applied.value(keyOf(serial));
}
