// Keys of the motion configuration record.
#ifndef VELMORDRIVERMOTIONCONFIGURATIONTRAITS_H
#define VELMORDRIVERMOTIONCONFIGURATIONTRAITS_H

#include <QtGlobal>

class VelmorDriverMotionConfigurationTraits
{
public:
    enum Key : qint32 {
        StepMode = 0,              // exponent: the device's step rate is the speed times 2 to this power
        Speed = 1,                 // steps per second
        Acceleration = 2,          // tenths of a step per second squared, unsigned 32-bit
        AccelerationMode = 3,      // 1: ramped, checked by validation; anything else: no ramp
        AlternateSpeedEnabled = 4,
        AlternateSpeed = 5,        // steps per second
        LocalFlag = 6              // kept in the record and its stream only, never sent
    };
};

#endif // VELMORDRIVERMOTIONCONFIGURATIONTRAITS_H
