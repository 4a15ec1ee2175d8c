// A unit's settings as read back from it.
#ifndef VELMORCENTER_UNITSETTINGS_H
#define VELMORCENTER_UNITSETTINGS_H

struct UnitSettings
{
    int speed = 0;              // steps/s
    int stepMode = 0;
    int acceleration = 0;       // steps/s²
    int current = 0;            // mA
    bool currentFlag = false;
    bool backlashEnabled = false;
    int backlashDirection = 0;  // 0 or 1
    int backlashAmount = 0;     // steps
    int homeDirection = 0;      // 0 or 1
    bool homeFlagA = false;
    bool homeFlagB = false;
    int homeValueA = 0;
    int homeValueB = 0;
};

#endif
