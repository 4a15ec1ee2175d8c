// Keys of the advanced move configuration record: backlash compensation and homing.
#ifndef VELMORDRIVERADVANCEDMOTORMOVECONFIGURATIONTRAITS_H
#define VELMORDRIVERADVANCEDMOTORMOVECONFIGURATIONTRAITS_H

#include <QtGlobal>

class VelmorDriverAdvancedMotorMoveConfigurationTraits
{
public:
    enum Key : qint32 {
        BacklashEnabled = 0,
        BacklashDirection = 1, // 0 or 1
        BacklashSteps = 2,
        HomeMode = 3,
        HomeFlagA = 4,
        HomeFlagB = 5,
        HomeValueA = 6,
        HomeValueB = 7
    };
};

#endif // VELMORDRIVERADVANCEDMOTORMOVECONFIGURATIONTRAITS_H
