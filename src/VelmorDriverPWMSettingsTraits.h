// Keys of the PWM settings record.
#ifndef VELMORDRIVERPWMSETTINGSTRAITS_H
#define VELMORDRIVERPWMSETTINGSTRAITS_H

#include <QtGlobal>

class VelmorDriverPWMSettingsTraits
{
public:
    enum Key : qint32 {
        PwmValue = 0,    // kept at most PwmLimit
        PwmLimit = 1,
        PwmStepMode = 2, // sent by hardware 1.2 with firmware 4 or later only
        SecondValue = 3, // kept at most SecondLimit; sent by hardware 27.1 only
        SecondLimit = 4,
        PwmSetting5 = 5
    };
};

#endif // VELMORDRIVERPWMSETTINGSTRAITS_H
