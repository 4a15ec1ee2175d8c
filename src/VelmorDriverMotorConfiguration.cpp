#include "VelmorDriverMotorConfiguration.h"

#include "HardwareModel.h"
#include "Assert.h"
#include "LittleEndian.h"

#include <cmath>

namespace {
const qint32 s_streamVersion = 1;
const qint32 s_minimumCurrent = 50;
const int s_shortLength = 10;
const int s_longLength = 11;

// Truncated toward zero, but a product within rounding error of a whole number is that number:
// a value decoded from the unit (raw / 1000.0, such as 1.001) must go back as the same raw value,
// where plain truncation of 1000.9999... would send one thousandth less.
quint32 thousandths(double value)
{
    const double scaled = value * 1000.0;
    const double nearest = std::round(scaled);
    const double whole = std::fabs(scaled - nearest) < 1e-6 ? nearest : scaled;
    return static_cast<quint32>(Properties<VelmorDriverMotorConfigurationTraits>::truncateToInt32(whole));
}
} // namespace

VelmorDriverMotorConfiguration::VelmorDriverMotorConfiguration(const QByteArray &data, VersionNumber hardwareVersion,
                                                               VersionNumber deviceVersion)
{
    const bool longLayout = usesLongLayout(hardwareVersion, deviceVersion);
    if (longLayout)
        VELMOR_ASSERT(data.count() == 11);
    else
        VELMOR_ASSERT(data.count() == 10);

    setValue(ScaledValueA, LittleEndian::read16(data, 0) / 1000.0);
    setValue(Current, qint32(LittleEndian::read16(data, 2)));
    setValue(WordValue, qint32(LittleEndian::read16(data, 4)));
    setValue(CurrentFlag, LittleEndian::read8(data, 6) != 0);
    setValue(ByteValue, qint32(LittleEndian::read8(data, 7)));
    setValue(ScaledValueB, LittleEndian::read16(data, 8) / 1000.0);
    setValue(ExtendedFlag, longLayout && LittleEndian::read8(data, 10) != 0);
}

VelmorDriverMotorConfiguration::~VelmorDriverMotorConfiguration()
{
    m_recordListeners.notifyDestroyed(this);
}

bool VelmorDriverMotorConfiguration::usesLongLayout(VersionNumber hardwareVersion, VersionNumber deviceVersion)
{
    return deviceVersion >= HardwareModel::of(hardwareVersion).longMotorLayoutFrom;
}

qint32 VelmorDriverMotorConfiguration::minimumCurrent()
{
    return s_minimumCurrent;
}

qint32 VelmorDriverMotorConfiguration::maximumCurrent(VersionNumber hardwareVersion)
{
    return HardwareModel::of(hardwareVersion).maximumCurrent;
}

QByteArray VelmorDriverMotorConfiguration::encode(VersionNumber hardwareVersion, VersionNumber deviceVersion) const
{
    const bool longLayout = usesLongLayout(hardwareVersion, deviceVersion);
    QByteArray bytes;
    bytes.reserve(longLayout ? s_longLength : s_shortLength);
    LittleEndian::append16(bytes, thousandths(doubleValue(ScaledValueA)));
    LittleEndian::append16(bytes, intValue(Current));
    LittleEndian::append16(bytes, intValue(WordValue));
    LittleEndian::append8(bytes, boolValue(CurrentFlag) ? 1 : 0);
    LittleEndian::append8(bytes, intValue(ByteValue));
    LittleEndian::append16(bytes, thousandths(doubleValue(ScaledValueB)));
    if (longLayout)
        LittleEndian::append8(bytes, boolValue(ExtendedFlag) ? 1 : 0);
    return bytes;
}

QVector<ValidationMessage> VelmorDriverMotorConfiguration::validate(VersionNumber hardwareVersion)
{
    QVector<ValidationMessage> messages;
    if (intValue(Current) < s_minimumCurrent)
        repair(Current, s_minimumCurrent, QStringLiteral("The minimum current is %1 mA.").arg(s_minimumCurrent), messages);
    const qint32 maximum = maximumCurrent(hardwareVersion);
    if (intValue(Current) > maximum)
        repair(Current, maximum, QStringLiteral("The maximum current is %1 mA.").arg(maximum), messages);
    return messages;
}

void VelmorDriverMotorConfiguration::write(QDataStream &stream) const
{
    stream << s_streamVersion;
    Properties::write(stream);
}

void VelmorDriverMotorConfiguration::read(QDataStream &stream)
{
    qint32 version = 0;
    stream >> version;
    if (version != s_streamVersion)
        throw StreamableVersionException(QStringLiteral("src\\VelmorDriverMotorConfiguration"), __LINE__, version);
    Properties::read(stream);
    if (!contains(ExtendedFlag))
        setValue(ExtendedFlag, false);
    m_recordListeners.notifyLoaded(this);
}
