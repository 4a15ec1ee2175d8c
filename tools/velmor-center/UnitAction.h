// One request the window asks the worker to carry out on a unit: the library call, how the log
// names it, how to say in words what it did, and the unit it is meant for.
#ifndef VELMORCENTER_UNITACTION_H
#define VELMORCENTER_UNITACTION_H

#include <QMetaType>
#include <QString>

#include <cstdint>
#include <functional>

struct UnitAction
{
    enum class Kind { Motion, MotorOn, MotorOff, Stop, Setting };

    Kind kind = Kind::Motion;
    int index = 0;
    QString call;                       // "moveMotorRelative(2, 200)"
    QString words;                      // "move unit 2 by 200 steps"
    std::function<int32_t()> perform;   // runs on the worker thread
    QString setting;                    // the settings group it writes, for settings
    QString serial{};                   // the unit the request was made for; the window fills it in
};

Q_DECLARE_METATYPE(UnitAction)

#endif
