#include "UnitAction.h"

#include <utility>

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

UnitAction::UnitAction(Intent intent, int index, QVector<qint64> values, QString words)
    : intent(intent), index(index), values(std::move(values)), words(std::move(words))
{
}

UnitAction UnitAction::motorOn(int index)
{
    return UnitAction(Intent::MotorOn, index, {}, tr("motor of unit %1 switched on").arg(index));
}

UnitAction UnitAction::motorOff(int index)
{
    return UnitAction(Intent::MotorOff, index, {}, tr("motor of unit %1 switched off").arg(index));
}

UnitAction UnitAction::stop(int index)
{
    return UnitAction(Intent::Stop, index, {}, tr("unit %1 stopped").arg(index));
}

UnitAction UnitAction::moveBy(int index, int steps)
{
    return UnitAction(Intent::MoveBy, index, {steps}, tr("unit %1 moving by %2 steps").arg(index).arg(steps));
}

UnitAction UnitAction::moveTo(int index, int position)
{
    return UnitAction(Intent::MoveTo, index, {position}, tr("unit %1 moving to %2").arg(index).arg(position));
}

UnitAction UnitAction::home(int index)
{
    return UnitAction(Intent::Home, index, {}, tr("unit %1 homing").arg(index));
}

UnitAction UnitAction::zero(int index)
{
    return UnitAction(Intent::Zero, index, {}, tr("position of unit %1 set to zero").arg(index));
}

UnitAction UnitAction::setSpeed(int index, int speed, int stepMode)
{
    return UnitAction(Intent::SetSpeed, index, {speed, stepMode},
                      tr("speed of unit %1 set to %2 steps/s, step mode %3").arg(index).arg(speed).arg(stepMode));
}

UnitAction UnitAction::setAcceleration(int index, int acceleration)
{
    return UnitAction(Intent::SetAcceleration, index, {acceleration},
                      tr("acceleration of unit %1 set to %2 steps/s²").arg(index).arg(acceleration));
}

UnitAction UnitAction::setCurrent(int index, int milliamperes, bool flag)
{
    return UnitAction(Intent::SetCurrent, index, {milliamperes, flag},
                      tr("current of unit %1 set to %2 mA, flag %3").arg(index).arg(milliamperes).arg(int(flag)));
}

UnitAction UnitAction::setBacklash(int index, bool enabled, int direction, int amount)
{
    return UnitAction(Intent::SetBacklash, index, {enabled, direction, amount},
                      tr("backlash compensation of unit %1 %2, direction %3, %4 steps")
                          .arg(index).arg(onOff(enabled)).arg(direction).arg(amount));
}

UnitAction UnitAction::setHomeSettings(int index, int direction, bool flagB, bool flagA, int valueA, int valueB)
{
    return UnitAction(Intent::SetHomeSettings, index, {direction, flagB, flagA, valueA, valueB},
                      tr("home settings of unit %1: direction %2, flag A %3, flag B %4, values %5 and %6")
                          .arg(index).arg(direction).arg(int(flagA)).arg(int(flagB)).arg(valueA).arg(valueB));
}

UnitAction UnitAction::setLimitSwitches(int index, int input1, int type1, int input2, int type2)
{
    return UnitAction(Intent::SetLimitSwitches, index, {input1, type1, input2, type2},
                      tr("limit switches of unit %1: input %2 type %3, input %4 type %5")
                          .arg(index).arg(input1).arg(type1).arg(input2).arg(type2));
}

UnitAction UnitAction::setPwm(int index, int value)
{
    return UnitAction(Intent::SetPwm, index, {value}, tr("PWM of unit %1 set to %2").arg(index).arg(value));
}

UnitAction UnitAction::setPwmStepMode(int index)
{
    return UnitAction(Intent::SetPwmStepMode, index, {}, tr("PWM output of unit %1 switched to step mode").arg(index));
}

UnitAction UnitAction::setRelay(int index, bool on)
{
    return UnitAction(Intent::SetRelay, index, {on}, tr("relay of unit %1 switched %2").arg(index).arg(onOff(on)));
}
