// Keys of the input configuration record.
#ifndef VELMORDRIVERINPUTCONFIGURATIONTRAITS_H
#define VELMORDRIVERINPUTCONFIGURATIONTRAITS_H

#include <QtGlobal>

class VelmorDriverInputConfigurationTraits
{
public:
    enum Key : qint32 {
        Limit1Polarity = 0,
        Limit2Polarity = 1,
        Limit1Action = 2,
        Limit2Action = 3,
        InputSetting4 = 4,
        InputSetting5 = 5,
        InputWord6 = 6, // the one 16-bit field; no default
        InputSetting7 = 7,
        InputSetting8 = 8,
        InputSetting9 = 9,
        InputSetting12 = 12,
        InputSetting13 = 13, // sent by hardware 10.1, 27.1 and 1.2 with firmware 3.0 or later
        InputSetting14 = 14, // sent by hardware 27.1 only
        InputSetting15 = 15  // sent by hardware 27.1 only
    };
};

#endif // VELMORDRIVERINPUTCONFIGURATIONTRAITS_H
