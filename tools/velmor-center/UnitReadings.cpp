#include "UnitReadings.h"

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
