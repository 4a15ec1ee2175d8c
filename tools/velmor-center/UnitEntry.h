// What the units list shows of one attached unit.
#ifndef VELMORCENTER_UNITENTRY_H
#define VELMORCENTER_UNITENTRY_H

#include <QMetaType>
#include <QString>
#include <QVector>

struct UnitEntry
{
    int index = 0;
    QString serial;
    QString chip;
    QString hardware;   // "1.2"
    QString firmware;   // "3.0"
    int32_t infoCode = 0; // velmorGetUnitInfo's result; the versions are empty unless 0
};

using UnitEntries = QVector<UnitEntry>;

Q_DECLARE_METATYPE(UnitEntry)
Q_DECLARE_METATYPE(UnitEntries)

#endif
