// One request the window makes of a unit, as an intent: what to do, with which values, and the
// unit it is meant for. The worker alone turns it into the library's call.
#ifndef VELMORCENTER_UNITACTION_H
#define VELMORCENTER_UNITACTION_H

#include <QCoreApplication>
#include <QMetaType>
#include <QString>
#include <QVector>

class UnitAction
{
    Q_DECLARE_TR_FUNCTIONS(UnitAction)

public:
    enum class Intent {
        MotorOn, MotorOff, Stop, MoveBy, MoveTo, Home, Zero,
        SetSpeed, SetAcceleration, SetCurrent, SetBacklash, SetHomeSettings, SetLimitSwitches, SetPwm,
        SetPwmStepMode, SetRelay,
    };

    UnitAction() = default;

    static UnitAction motorOn(int index);
    static UnitAction motorOff(int index);
    static UnitAction stop(int index);
    static UnitAction moveBy(int index, int steps);
    static UnitAction moveTo(int index, int position);
    static UnitAction home(int index);
    static UnitAction zero(int index);
    static UnitAction setSpeed(int index, int speed, int stepMode);
    static UnitAction setAcceleration(int index, int acceleration);
    static UnitAction setCurrent(int index, int milliamperes, bool flag);
    static UnitAction setBacklash(int index, bool enabled, int direction, int amount);
    static UnitAction setHomeSettings(int index, int direction, bool flagB, bool flagA, int valueA, int valueB);
    static UnitAction setLimitSwitches(int index, int input1, int type1, int input2, int type2);
    static UnitAction setPwm(int index, int value);
    static UnitAction setPwmStepMode(int index);
    static UnitAction setRelay(int index, bool on);

    Intent intent = Intent::Stop;
    int index = 0;
    QVector<qint64> values;     // in the order the unit's call takes them after the index; flags 0 or 1
    QString words;              // what it did, for the log: "unit 2 moving by 200 steps"
    QString setting{};          // the settings group it writes, for settings; the settings panel fills it in
    QString serial{};           // the unit the request was made for; the window fills it in

private:
    UnitAction(Intent intent, int index, QVector<qint64> values, QString words);
};

Q_DECLARE_METATYPE(UnitAction)

#endif
