#include "VelmorDriverInputConfiguration.h"

#include "HardwareModel.h"
#include "Assert.h"
#include "LittleEndian.h"

namespace {
const qint32 s_streamVersion = 2;
const quint8 s_fixedByte = 4; // the device expects this constant between the settings and the rest
const qint32 s_defaultSetting13 = 5;
const qint32 s_version1ChannelCount = 4;

// The settings sent one byte each, in wire order.
const VelmorDriverInputConfigurationTraits::Key s_byteSettings[] = {
    VelmorDriverInputConfigurationTraits::InputSetting4,  VelmorDriverInputConfigurationTraits::InputSetting5,
    VelmorDriverInputConfigurationTraits::Limit1Polarity, VelmorDriverInputConfigurationTraits::Limit1Action,
    VelmorDriverInputConfigurationTraits::Limit2Polarity, VelmorDriverInputConfigurationTraits::Limit2Action,
    VelmorDriverInputConfigurationTraits::InputSetting7,  VelmorDriverInputConfigurationTraits::InputSetting8,
    VelmorDriverInputConfigurationTraits::InputSetting9,  VelmorDriverInputConfigurationTraits::InputSetting12,
};
} // namespace

VelmorDriverInputConfiguration::VelmorDriverInputConfiguration()
{
    for (Key key : s_byteSettings)
        setValue(key, 0);
    setValue(InputSetting13, s_defaultSetting13);
    setValue(InputSetting14, 0);
    setValue(InputSetting15, 0);
}

VelmorDriverInputConfiguration::~VelmorDriverInputConfiguration()
{
    m_recordListeners.notifyDestroyed(this);
}

int VelmorDriverInputConfiguration::channelCount(VersionNumber hardwareVersion)
{
    return HardwareModel::of(hardwareVersion).inputChannels;
}

qint32 VelmorDriverInputConfiguration::channelFunction(qint32 channelNumber) const
{
    VELMOR_ASSERT(channelNumber > 0);
    return m_channelFunctions.value(channelNumber, NoFunction);
}

void VelmorDriverInputConfiguration::setChannelFunctions(const QMap<qint32, qint32> &channelFunctions)
{
    m_channelFunctions = channelFunctions;
    m_recordListeners.notifyLoaded(this);
}

QByteArray VelmorDriverInputConfiguration::encode(VersionNumber hardwareVersion, VersionNumber deviceVersion) const
{
    QByteArray bytes;
    const int channels = channelCount(hardwareVersion);
    for (qint32 channel = 1; channel <= channels; ++channel)
        LittleEndian::append8(bytes, channelFunction(channel));
    for (Key key : s_byteSettings)
        LittleEndian::append8(bytes, intValue(key));
    LittleEndian::append8(bytes, s_fixedByte);
    LittleEndian::append8(bytes, m_auxiliaryValue);
    LittleEndian::append16(bytes, intValue(InputWord6));
    const HardwareModel &model = HardwareModel::of(hardwareVersion);
    if (model.inputSetting13From && deviceVersion >= *model.inputSetting13From)
        LittleEndian::append8(bytes, intValue(InputSetting13));
    if (model.inputSettings14And15) {
        LittleEndian::append8(bytes, intValue(InputSetting14));
        LittleEndian::append8(bytes, intValue(InputSetting15));
    }
    return bytes;
}

void VelmorDriverInputConfiguration::write(QDataStream &stream) const
{
    stream << s_streamVersion;
    Properties::write(stream);
    stream << m_channelFunctions << m_auxiliaryValue;
}

void VelmorDriverInputConfiguration::read(QDataStream &stream)
{
    qint32 version = 0;
    stream >> version;
    if (version != 1 && version != 2)
        throw StreamableVersionException(QStringLiteral("src\\VelmorDriverInputConfiguration"), __LINE__, version);
    Properties::read(stream);
    if (version == 1)
        readVersion1Members(stream);
    else
        readVersion2Members(stream);
    if (!contains(InputSetting12))
        setValue(InputSetting12, 0);
    if (!contains(InputSetting13))
        setValue(InputSetting13, s_defaultSetting13);
    m_recordListeners.notifyLoaded(this);
}

// Version 1 held exactly four channels, channels 1 to 4 in order.
void VelmorDriverInputConfiguration::readVersion1Members(QDataStream &stream)
{
    QMap<qint32, qint32> channelFunctions;
    for (qint32 channel = 1; channel <= s_version1ChannelCount; ++channel) {
        qint32 function = 0;
        stream >> function;
        channelFunctions.insert(channel, function);
    }
    qint32 auxiliaryValue = 0;
    stream >> auxiliaryValue;
    if (stream.status() != QDataStream::Ok)
        return;
    m_channelFunctions = channelFunctions;
    m_auxiliaryValue = auxiliaryValue;
}

void VelmorDriverInputConfiguration::readVersion2Members(QDataStream &stream)
{
    QMap<qint32, qint32> channelFunctions;
    qint32 auxiliaryValue = 0;
    stream >> channelFunctions >> auxiliaryValue;
    if (stream.status() != QDataStream::Ok)
        return;
    m_channelFunctions = channelFunctions;
    m_auxiliaryValue = auxiliaryValue;
}
