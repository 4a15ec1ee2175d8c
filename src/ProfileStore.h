// The profiles this process loaded, by the unit's serial number (never by index), and the
// settings only a write can set (limit switches, PWM, relay) as this process last applied them
// to each unit. A
// loaded profile's travel limits and name apply to every call on its unit in the process.
#ifndef PROFILESTORE_H
#define PROFILESTORE_H

#include "UnitProfile.h"

#include <QMap>
#include <QStringList>
#include <mutex>
#include <optional>

class ProfileStore
{
public:
    static ProfileStore &instance();

    struct LoadReport
    {
        QStringList folders;  // the folders read, in order
        QStringList loaded;   // the files whose profile was taken
        QStringList problems; // "PATH: line N: why" for each file left out
    };
    // Reads every *.json file of the folders; a unit's profile in an earlier folder wins over a
    // later one. Replaces what was loaded before. A file left out is never half taken.
    LoadReport load(const QStringList &folders);
    // VELMOR_PROFILES=DIR gives DIR alone, VELMOR_PROFILES=off none; else the user's folder
    // (velmorlib/units in $XDG_CONFIG_HOME or ~/.config; %APPDATA% on Windows), then the
    // system's (/etc/velmorlib/units).
    static QStringList defaultFolders();

    std::optional<UnitProfile> profileOf(const QString &serial);
    void noteApplied(const QString &serial, const ProfileSettings &writeOnly);
    ProfileSettings lastApplied(const QString &serial);

private:
    std::mutex m_mutex;
    QMap<QString, UnitProfile> m_profiles;
    QMap<QString, ProfileSettings> m_applied;
};

#endif // PROFILESTORE_H
