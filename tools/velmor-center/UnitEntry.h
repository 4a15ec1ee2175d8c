// What the units list shows of one attached unit.
#ifndef VELMORCENTER_UNITENTRY_H
#define VELMORCENTER_UNITENTRY_H

#include <QMetaType>
#include <QString>
#include <QVector>

#include <cstdint>

struct UnitEntry
{
    int index = 0;
    QString serial;     // as D2XX lists it, known without opening the unit
    bool busy = false;  // open in another program: not opened, so chip and versions are not known
    QString chip;
    QString hardware;   // "1.2"
    QString firmware;   // "3.0"
    int32_t infoCode = 0; // velmorGetUnitInfo's result; the versions are empty unless 0
    QString infoText;     // the library's words for infoCode
    QString name;         // its loaded profile's name of it, "" when none

    bool isRead() const { return !busy && infoCode == 0; }
};

using UnitEntries = QVector<UnitEntry>;

Q_DECLARE_METATYPE(UnitEntry)
Q_DECLARE_METATYPE(UnitEntries)

#endif
