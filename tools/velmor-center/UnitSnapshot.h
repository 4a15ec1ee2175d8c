// A selected unit as read from it: what it accepts, every setting read back, and the unit its
// loaded profile gives positions in.
#ifndef VELMORCENTER_UNITSNAPSHOT_H
#define VELMORCENTER_UNITSNAPSHOT_H

#include "UnitRanges.h"
#include "UnitScale.h"
#include "UnitSettings.h"

#include <QMetaType>
#include <QString>

struct UnitSnapshot
{
    int index = 0;
    UnitRanges ranges;
    UnitSettings settings;
    UnitScale scale;    // from the unit's loaded profile
    QString failure;    // the first failing read's result in words; empty when every read worked
};

Q_DECLARE_METATYPE(UnitSnapshot)

#endif
