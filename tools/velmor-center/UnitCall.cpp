#include "UnitCall.h"

#include "VelmorLibExtras.h"

#include <QStringList>

#include <map>
#include <vector>

namespace {

using Values = QVector<qint64>;

int32_t int32(const Values &values, int at)
{
    return static_cast<int32_t>(values.at(at));
}

uint32_t uint32(const Values &values, int at)
{
    return static_cast<uint32_t>(values.at(at));
}

uint8_t uint8(const Values &values, int at)
{
    return static_cast<uint8_t>(values.at(at));
}

} // namespace

const UnitCall::Export &UnitCall::exportOf(UnitAction::Intent intent)
{
    using Intent = UnitAction::Intent;
    static const std::map<Intent, Export> exports{
        {Intent::MotorOn, {"motorOn", false, [](int32_t i, const Values &) { return motorOn(i); }}},
        {Intent::MotorOff, {"motorOff", false, [](int32_t i, const Values &) { return motorOff(i); }}},
        {Intent::Stop, {"stopMotor", false, [](int32_t i, const Values &) { return stopMotor(i); }}},
        {Intent::MoveBy, {"moveMotorRelative", false, [](int32_t i, const Values &v) { return moveMotorRelative(i, int32(v, 0)); }}},
        {Intent::MoveTo, {"moveMotorAbsolute", false, [](int32_t i, const Values &v) { return moveMotorAbsolute(i, int32(v, 0)); }}},
        {Intent::Home, {"moveMotorHome", false, [](int32_t i, const Values &) { return moveMotorHome(i); }}},
        {Intent::Zero, {"zeroMotorPosition", false, [](int32_t i, const Values &) { return zeroMotorPosition(i); }}},
        {Intent::SetSpeed, {"setMotorSpeed", true,
                            [](int32_t i, const Values &v) { return setMotorSpeed(i, int32(v, 0), int32(v, 1)); }}},
        {Intent::SetAcceleration, {"setMotorAcceleration", true,
                                   [](int32_t i, const Values &v) { return setMotorAcceleration(i, int32(v, 0)); }}},
        {Intent::SetCurrent, {"setMotorCurrent", true,
                              [](int32_t i, const Values &v) { return setMotorCurrent(i, int32(v, 0), uint8(v, 1)); }}},
        {Intent::SetBacklash, {"setBacklashCompensation", true,
                               [](int32_t i, const Values &v) {
                                   return setBacklashCompensation(i, uint8(v, 0), uint32(v, 1), int32(v, 2));
                               }}},
        {Intent::SetHomeSettings, {"setHomeSettings", true,
                                   [](int32_t i, const Values &v) {
                                       return setHomeSettings(i, uint32(v, 0), uint8(v, 1), uint8(v, 2), uint32(v, 3),
                                                              uint32(v, 4));
                                   }}},
        {Intent::SetLimitSwitches, {"setLimitSwitches", true,
                                    [](int32_t i, const Values &v) {
                                        return setLimitSwitches(i, int32(v, 0), uint32(v, 1), int32(v, 2), uint32(v, 3));
                                    }}},
        {Intent::SetPwm, {"setPWM", true, [](int32_t i, const Values &v) { return setPWM(i, int32(v, 0)); }}},
        {Intent::SetPwmStepMode, {"setPWMStepMode", false, [](int32_t i, const Values &) { return setPWMStepMode(i); }}},
        {Intent::SetRelay, {"setRelay", false, [](int32_t i, const Values &v) { return setRelay(i, uint8(v, 0)); }}},
    };
    return exports.at(intent);
}

UnitCall::UnitCall(const UnitAction &action)
    : m_action(action), m_export(exportOf(action.intent))
{
}

QString UnitCall::text() const
{
    const QString values = valuesText();
    return QStringLiteral("%1(%2%3)")
        .arg(QLatin1String(m_export.name))
        .arg(m_action.index)
        .arg(values.isEmpty() ? QString() : QStringLiteral(", ") + values);
}

QString UnitCall::valuesText() const
{
    QStringList values;
    for (qint64 value : m_action.values)
        values.append(QString::number(value));
    return values.join(QStringLiteral(", "));
}

int32_t UnitCall::run() const
{
    return m_export.call(m_action.index, m_action.values);
}

QString UnitCall::refusalText() const
{
    return QStringLiteral("velmorExplainRefusal(%1, \"%2\", {%3})")
        .arg(m_action.index)
        .arg(QLatin1String(m_export.name), valuesText());
}

int32_t UnitCall::explainRefusal(QString *reasons) const
{
    const std::vector<int64_t> arguments(m_action.values.begin(), m_action.values.end());
    // Every text the library words fits.
    char text[256] = {};
    const int32_t code = velmorExplainRefusal(m_action.index, m_export.name, arguments.data(),
                                              static_cast<int32_t>(arguments.size()), text, sizeof text);
    *reasons = QString::fromUtf8(text);
    return code;
}
