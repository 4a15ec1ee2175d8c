// A selected unit's records as read from it: what it accepts and every setting read back.
#ifndef VELMORCENTER_UNITSNAPSHOT_H
#define VELMORCENTER_UNITSNAPSHOT_H

#include "VelmorLibExtras.h"

#include <QMetaType>

struct UnitSnapshot
{
    int index = 0;
    VelmorLimits limits{};
    VelmorMotionSettings motion{};
    VelmorMotorSettings motor{};
    VelmorMoveSettings move{};
    int32_t code = 0; // the first failing read's result, 0 when every read worked
};

Q_DECLARE_METATYPE(UnitSnapshot)
Q_DECLARE_METATYPE(VelmorMotorStatus)

#endif
