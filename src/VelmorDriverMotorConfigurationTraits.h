// Keys of the motor configuration record.
#ifndef VELMORDRIVERMOTORCONFIGURATIONTRAITS_H
#define VELMORDRIVERMOTORCONFIGURATIONTRAITS_H

#include <QtGlobal>

class VelmorDriverMotorConfigurationTraits
{
public:
    enum Key : qint32 {
        ScaledValueA = 0, // double; on the wire in thousandths, unsigned 16-bit
        Current = 1,      // milliamperes
        WordValue = 2,
        ByteValue = 3,
        ScaledValueB = 4, // double; on the wire in thousandths, unsigned 16-bit
        CurrentFlag = 5,
        ExtendedFlag = 6  // sent in the long layout only
    };
};

#endif // VELMORDRIVERMOTORCONFIGURATIONTRAITS_H
