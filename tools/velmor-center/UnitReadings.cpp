#include "UnitReadings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// {"current": 8000, "currentFlag": 0} as "current 8000, currentFlag 0".
QString valuesText(const QJsonObject &values)
{
    QStringList parts;
    for (auto value = values.begin(); value != values.end(); ++value)
        parts.append(QStringLiteral("%1 %2").arg(value.key(), value.value().toVariant().toString()));
    return parts.join(QStringLiteral(", "));
}

} // namespace

QString UnitReadings::resultText(int32_t code)
{
    return QString::fromUtf8(velmorResultText(code));
}

QString UnitReadings::resultWithCode(int32_t code)
{
    return tr("%1 (code %2)").arg(resultText(code)).arg(code);
}

UnitRanges UnitReadings::ranges(const VelmorLimits &limits)
{
    UnitRanges ranges;
    ranges.hardware = QStringLiteral("%1.%2").arg(limits.hardwareMajor).arg(limits.hardwareMinor);
    ranges.minimumCurrent = limits.minimumCurrent;
    ranges.maximumCurrent = limits.maximumCurrent;
    ranges.largestSpeed = limits.largestSpeed;
    ranges.largestStepMode = limits.largestStepMode;
    ranges.maximumStepRate = limits.maximumStepRate;
    ranges.largestAcceleration = limits.largestAcceleration;
    ranges.largestBacklashAmount = limits.largestBacklashAmount;
    ranges.largestHomeValue = limits.largestHomeValue;
    ranges.inputChannels = limits.inputChannels;
    ranges.pwmLimit = limits.pwmLimit;
    ranges.hasRelay = limits.hasRelay != 0;
    return ranges;
}

UnitSettings UnitReadings::settings(const VelmorMotionSettings &motion, const VelmorMotorSettings &motor,
                                    const VelmorMoveSettings &move)
{
    UnitSettings settings;
    settings.speed = motion.speed;
    settings.stepMode = motion.stepMode;
    settings.acceleration = motion.acceleration;
    settings.current = motor.current;
    settings.currentFlag = motor.currentFlag != 0;
    settings.backlashEnabled = move.backlashEnabled != 0;
    settings.backlashDirection = move.backlashDirection;
    settings.backlashAmount = move.backlashAmount;
    settings.homeDirection = move.homeDirection;
    settings.homeFlagA = move.homeFlagA != 0;
    settings.homeFlagB = move.homeFlagB != 0;
    settings.homeValueA = move.homeValueA;
    settings.homeValueB = move.homeValueB;
    return settings;
}

UnitStatus UnitReadings::status(const VelmorMotorStatus &motor)
{
    UnitStatus status;
    status.position = motor.position;
    status.positionInSteps = motor.positionInSteps;
    status.stepMode = int(motor.stepMode);
    status.ready = motor.ready == 1;
    if (!status.ready)
        status.notReady = resultText(motor.moveGate);
    return status;
}

UnitScale UnitReadings::scale(const QByteArray &profile)
{
    const QJsonObject top = QJsonDocument::fromJson(profile).object();
    UnitScale scale;
    scale.name = top.value(QLatin1String("name")).toString();
    const QString unit = top.value(QLatin1String("unit")).toString();
    const double stepsPerUnit = top.value(QLatin1String("stepsPerUnit")).toDouble(1.0);
    // A profile in full steps, 1 each, is no scale at all.
    if (unit.isEmpty() || (unit == QLatin1String("steps") && stepsPerUnit == 1.0) || stepsPerUnit <= 0.0)
        return scale;
    scale.unit = unit;
    scale.stepsPerUnit = stepsPerUnit;
    const QJsonObject travel = top.value(QLatin1String("travel")).toObject();
    if (travel.value(QLatin1String("min")).isDouble())
        scale.travelMin = travel.value(QLatin1String("min")).toDouble();
    if (travel.value(QLatin1String("max")).isDouble())
        scale.travelMax = travel.value(QLatin1String("max")).toDouble();
    return scale;
}

void UnitReadings::fillOutcome(const QByteArray &report, ProfileOutcome *outcome)
{
    const QJsonObject top = QJsonDocument::fromJson(report).object();
    if (top.contains(QLatin1String("error"))) {
        outcome->failure = tr("the file cannot be taken: %1").arg(top.value(QLatin1String("error")).toString());
        return;
    }
    const bool compared = outcome->request.kind == ProfileRequest::Kind::Compare;
    outcome->headers = compared ? QStringList{tr("Setting"), tr("In the file"), tr("On the unit")}
                                : QStringList{tr("Setting"), tr("Outcome"), tr("Values, or why")};
    for (const QJsonValue value : top.value(QLatin1String("settings")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString setting = entry.value(QLatin1String("setting")).toString();
        if (compared) {
            outcome->rows.append({setting, entry.value(QLatin1String("profile")).toVariant().toString(),
                                  entry.value(QLatin1String("unit")).toVariant().toString()});
            continue;
        }
        const QString result = entry.value(QLatin1String("outcome")).toString();
        QStringList details;
        if (entry.contains(QLatin1String("written")))
            details.append(tr("written: %1").arg(valuesText(entry.value(QLatin1String("written")).toObject())));
        else if (result == QLatin1String("applied") || result == QLatin1String("unchanged"))
            details.append(valuesText(entry.value(QLatin1String("profile")).toObject()));
        if (entry.contains(QLatin1String("reason")))
            details.append(entry.value(QLatin1String("reason")).toString());
        if (entry.contains(QLatin1String("code")))
            details.append(tr("code %1").arg(entry.value(QLatin1String("code")).toInt()));
        outcome->anyRefused = outcome->anyRefused || result == QLatin1String("refused");
        outcome->rows.append({setting, result, details.join(QStringLiteral("; "))});
    }
}
