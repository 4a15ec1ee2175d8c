#include "VelmorDriverAdvancedMotorMoveConfiguration.h"

#include "Assert.h"
#include "LittleEndian.h"

namespace {
const qint32 s_streamVersion = 1;
} // namespace

VelmorDriverAdvancedMotorMoveConfiguration::VelmorDriverAdvancedMotorMoveConfiguration(const QByteArray &data)
{
    VELMOR_ASSERT(data.count() == 11);
    setValue(BacklashEnabled, LittleEndian::read8(data, 0) != 0);
    setValue(BacklashDirection, qint32(LittleEndian::read8(data, 1)));
    setValue(BacklashSteps, qint32(LittleEndian::read16(data, 2)));
    setValue(HomeMode, qint32(LittleEndian::read8(data, 4)));
    setValue(HomeFlagA, LittleEndian::read8(data, 5) != 0);
    setValue(HomeFlagB, LittleEndian::read8(data, 6) != 0);
    setValue(HomeValueA, qint32(LittleEndian::read16(data, 7)));
    setValue(HomeValueB, qint32(LittleEndian::read16(data, 9)));
}

VelmorDriverAdvancedMotorMoveConfiguration::~VelmorDriverAdvancedMotorMoveConfiguration()
{
    m_recordListeners.notifyDestroyed(this);
}

QByteArray VelmorDriverAdvancedMotorMoveConfiguration::encode() const
{
    QByteArray bytes;
    LittleEndian::append8(bytes, boolValue(BacklashEnabled) ? 1 : 0);
    LittleEndian::append8(bytes, intValue(BacklashDirection));
    LittleEndian::append16(bytes, intValue(BacklashSteps));
    LittleEndian::append8(bytes, intValue(HomeMode));
    LittleEndian::append8(bytes, boolValue(HomeFlagA) ? 1 : 0);
    LittleEndian::append8(bytes, boolValue(HomeFlagB) ? 1 : 0);
    LittleEndian::append16(bytes, intValue(HomeValueA));
    LittleEndian::append16(bytes, intValue(HomeValueB));
    return bytes;
}

void VelmorDriverAdvancedMotorMoveConfiguration::write(QDataStream &stream) const
{
    stream << s_streamVersion;
    Properties::write(stream);
}

void VelmorDriverAdvancedMotorMoveConfiguration::read(QDataStream &stream)
{
    qint32 version = 0;
    stream >> version;
    if (version != s_streamVersion)
        throw StreamableVersionException(QStringLiteral("src\\VelmorDriverAdvancedMotorMoveConfiguration"), __LINE__,
                                         version);
    Properties::read(stream);
    m_recordListeners.notifyLoaded(this);
}
