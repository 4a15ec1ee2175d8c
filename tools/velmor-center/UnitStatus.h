// One reading of the selected unit's motor: where it is and whether it takes a move.
#ifndef VELMORCENTER_UNITSTATUS_H
#define VELMORCENTER_UNITSTATUS_H

#include <QMetaType>
#include <QString>

struct UnitStatus
{
    int position = 0;               // full steps
    double positionInSteps = 0.0;   // full steps, with the fraction the step mode gives
    int stepMode = 0;
    bool ready = false;
    QString notReady;               // why a move would be refused now: the library's words
};

Q_DECLARE_METATYPE(UnitStatus)

#endif
