// What a unit accepts, by its hardware: the bounds of the settings panel's fields.
#ifndef VELMORCENTER_UNITRANGES_H
#define VELMORCENTER_UNITRANGES_H

#include <QString>

struct UnitRanges
{
    QString hardware;               // "1.2"
    int minimumCurrent = 0;         // mA
    int maximumCurrent = 0;         // mA
    int largestSpeed = 0;           // steps/s
    int largestStepMode = 0;
    int maximumStepRate = 0;        // steps/s: speed times 2 to the step mode
    int largestAcceleration = 0;    // steps/s²
    int largestBacklashAmount = 0;  // steps
    int largestHomeValue = 0;
    int inputChannels = 0;          // the limit-switch inputs run from 1 to this
    int pwmLimit = 0;
    bool hasRelay = false;
};

#endif
