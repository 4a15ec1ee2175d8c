// A selected unit as read from it: what it accepts and every setting read back.
#ifndef VELMORCENTER_UNITSNAPSHOT_H
#define VELMORCENTER_UNITSNAPSHOT_H

#include "UnitRanges.h"
#include "UnitSettings.h"

#include <QMetaType>
#include <QString>

struct UnitSnapshot
{
    int index = 0;
    UnitRanges ranges;
    UnitSettings settings;
    QString failure;    // the first failing read's result in words; empty when every read worked
};

Q_DECLARE_METATYPE(UnitSnapshot)

#endif
