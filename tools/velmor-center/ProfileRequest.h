// A request about the selected unit's profile, as an intent: save it to a file, apply a file's
// settings to the unit (fixing refused values to the nearest accepted ones, or not), or compare
// a file with the unit; and what came of it, as rows the window shows.
#ifndef VELMORCENTER_PROFILEREQUEST_H
#define VELMORCENTER_PROFILEREQUEST_H

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

struct ProfileRequest
{
    enum class Kind { Save, Load, Compare };

    Kind kind = Kind::Save;
    int index = 0;
    QString serial;             // the unit the request was made for
    QString path;               // the file written or read
    bool fix = false;           // Load: a value the unit refuses goes as the nearest it accepts
};

struct ProfileOutcome
{
    ProfileRequest request;
    int32_t code = 0;           // the library's result
    // Why nothing (or not all) was done, in words; empty when the request did what it asked.
    QString failure;
    QStringList headers;        // the rows' columns
    QVector<QStringList> rows;  // Load: setting, outcome, what was written or why; Compare: setting, file, unit
    bool anyRefused = false;    // Load: a setting was refused, and fixing it may help
    bool notSent = false;       // the unit was not the one held at the index: nothing was done
};

Q_DECLARE_METATYPE(ProfileRequest)
Q_DECLARE_METATYPE(ProfileOutcome)

#endif
