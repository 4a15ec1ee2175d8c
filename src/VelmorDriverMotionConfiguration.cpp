#include "VelmorDriverMotionConfiguration.h"

#include "HardwareModel.h"
#include "Assert.h"
#include "LittleEndian.h"

#include <limits>

namespace {
const qint32 s_streamVersion = 3;
const qint32 s_minimumAcceleration = 1;        // 0.1 steps/s^2
const qint32 s_maximumAcceleration = 10000000; // 1000000 steps/s^2

// A ramp bound of a huge speed exceeds 32 bits; clamping it to the 32-bit range changes no
// comparison against a 32-bit acceleration, and the absolute limits apply afterwards anyway.
qint32 saturatingTruncate(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<qint32>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(value);
}
} // namespace

VelmorDriverMotionConfiguration::VelmorDriverMotionConfiguration(const QByteArray &data, VersionNumber hardwareVersion)
{
    if (usesLongLayout(hardwareVersion)) {
        VELMOR_ASSERT(data.count() == 11);
        setValue(StepMode, qint32(LittleEndian::read8(data, 0)));
        setValue(Speed, qint32(LittleEndian::read16(data, 1)));
        setValue(AlternateSpeed, qint32(LittleEndian::read16(data, 3)));
        setValue(Acceleration, LittleEndian::read32(data, 5));
        setValue(AccelerationMode, qint32(LittleEndian::read8(data, 9)));
        setValue(AlternateSpeedEnabled, qint32(LittleEndian::read8(data, 10)));
    } else {
        VELMOR_ASSERT(data.count() == 8);
        setValue(StepMode, qint32(LittleEndian::read8(data, 0)));
        setValue(Speed, qint32(LittleEndian::read16(data, 1)));
        setValue(Acceleration, LittleEndian::read32(data, 3));
        setValue(AccelerationMode, qint32(LittleEndian::read8(data, 7)));
        setValue(AlternateSpeed, intValue(Speed));
        setValue(AlternateSpeedEnabled, false);
    }
}

VelmorDriverMotionConfiguration::~VelmorDriverMotionConfiguration()
{
    m_recordListeners.notifyDestroyed(this);
}

bool VelmorDriverMotionConfiguration::usesLongLayout(VersionNumber hardwareVersion)
{
    return HardwareModel::of(hardwareVersion).longMotionLayout;
}

qint32 VelmorDriverMotionConfiguration::maximumStepRate(VersionNumber hardwareVersion)
{
    return HardwareModel::of(hardwareVersion).maximumStepRate;
}

qint32 VelmorDriverMotionConfiguration::stepRate(qint32 speed, qint32 stepMode)
{
    const quint32 shift = static_cast<quint32>(stepMode) & 31u;
    return static_cast<qint32>(static_cast<quint32>(speed) << shift);
}

QByteArray VelmorDriverMotionConfiguration::encode(VersionNumber hardwareVersion) const
{
    QByteArray bytes;
    LittleEndian::append8(bytes, intValue(StepMode));
    LittleEndian::append16(bytes, intValue(Speed));
    if (usesLongLayout(hardwareVersion)) {
        LittleEndian::append16(bytes, intValue(AlternateSpeed));
        LittleEndian::append32(bytes, intValue(Acceleration));
        LittleEndian::append8(bytes, intValue(AccelerationMode));
        LittleEndian::append8(bytes, intValue(AlternateSpeedEnabled));
    } else {
        LittleEndian::append32(bytes, intValue(Acceleration));
        LittleEndian::append8(bytes, intValue(AccelerationMode));
    }
    return bytes;
}

QVector<ValidationMessage> VelmorDriverMotionConfiguration::validate(VersionNumber hardwareVersion)
{
    QVector<ValidationMessage> messages;
    validateSpeed(Speed, hardwareVersion, messages);
    if (HardwareModel::of(hardwareVersion).hasAlternateSpeed && boolValue(AlternateSpeedEnabled))
        validateSpeed(AlternateSpeed, hardwareVersion, messages);
    return messages;
}

void VelmorDriverMotionConfiguration::validateSpeed(Key speedKey, VersionNumber hardwareVersion,
                                                    QVector<ValidationMessage> &messages)
{
    qint32 speed = intValue(speedKey);
    const qint32 stepMode = intValue(StepMode);
    const qint32 rate = stepRate(speed, stepMode);
    const qint32 maximumRate = maximumStepRate(hardwareVersion);
    if (rate > maximumRate) {
        speed = static_cast<qint32>(static_cast<quint32>(maximumRate) / (1u << (static_cast<quint32>(stepMode) & 31u)));
        repair(speedKey, speed, QStringLiteral("The motor speed was too high."), messages);
    }
    if (rate < 1) {
        speed = 1;
        repair(speedKey, speed, QStringLiteral("The motor speed was too low."), messages);
    }
    if (intValue(AccelerationMode) == 1)
        validateAcceleration(speed, messages);
}

// The ramp from standstill to the speed takes at most 10 s and at least 1 ms.
void VelmorDriverMotionConfiguration::validateAcceleration(qint32 speed, QVector<ValidationMessage> &messages)
{
    const double s = speed;
    qint32 acceleration = intValue(Acceleration);
    const qint32 lowerBound = saturatingTruncate(s / 10.0 * 10.0);
    const qint32 upperBound = saturatingTruncate(s / 0.001 * 10.0);
    if (acceleration == 0) {
        repair(Acceleration, lowerBound, QStringLiteral("Zero acceleration is not allowed."), messages);
        return;
    }
    const double rampSeconds = s / acceleration * 10.0;
    if (acceleration < lowerBound) {
        acceleration = lowerBound;
        repair(Acceleration, acceleration,
               QStringLiteral("The ramp-ump time of %1 s was more than 10 s. The acceleration was increased.")
                   .arg(QString::number(rampSeconds, 'g')),
               messages);
    } else if (acceleration > upperBound) {
        acceleration = upperBound;
        repair(Acceleration, acceleration,
               QStringLiteral("The ramp-up time of %1 ms was less than 1 ms.\nConsider using step acceleration.")
                   .arg(QString::number(rampSeconds * 1000.0, 'g')),
               messages);
    }
    if (acceleration < s_minimumAcceleration)
        repair(Acceleration, s_minimumAcceleration,
               QStringLiteral("The absolute minimum acceleration is 0.1 steps/s^2."), messages);
    else if (acceleration > s_maximumAcceleration)
        repair(Acceleration, s_maximumAcceleration,
               QStringLiteral("The absolute maximum acceleration is 1000000 steps/s^2."), messages);
}

void VelmorDriverMotionConfiguration::write(QDataStream &stream) const
{
    stream << s_streamVersion;
    Properties::write(stream);
}

void VelmorDriverMotionConfiguration::read(QDataStream &stream)
{
    qint32 version = 0;
    stream >> version;
    if (version < 1 || version > s_streamVersion)
        throw StreamableVersionException(QStringLiteral("src\\VelmorDriverMotionConfiguration"), __LINE__, version);
    Properties::read(stream);
    if (version == 1) {
        setValue(AlternateSpeed, intValue(Speed));
        setValue(AlternateSpeedEnabled, false);
    }
    if (version <= 2)
        setValue(LocalFlag, false);
    m_recordListeners.notifyLoaded(this);
}

VelmorDriverMoveOrder::VelmorDriverMoveOrder(quint8 kind, quint8 direction, quint32 steps)
    : kind(kind)
    , direction(direction)
    , steps(steps)
{
}

VelmorDriverMoveOrder VelmorDriverMoveOrder::relative(qint64 displacement)
{
    const bool decreasing = displacement < 0;
    const quint64 size = decreasing ? 0u - static_cast<quint64>(displacement) : static_cast<quint64>(displacement);
    VELMOR_ASSERT(size <= 0xFFFFFFFFu);
    return VelmorDriverMoveOrder(1, decreasing ? Decreasing : Increasing, static_cast<quint32>(size));
}

QByteArray VelmorDriverMoveOrder::encode(VersionNumber hardwareVersion) const
{
    const quint8 sentKind = (!HardwareModel::of(hardwareVersion).knowsMoveKind3 && kind == 3) ? 0 : kind;
    QByteArray bytes;
    LittleEndian::append8(bytes, sentKind);
    LittleEndian::append8(bytes, direction);
    LittleEndian::append32(bytes, steps);
    return bytes;
}
