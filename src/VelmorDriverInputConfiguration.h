// The device's digital inputs: the function of each numbered input channel (the limit switches
// among them) and the inputs' settings. Built from defaults and sent, never read back.
#ifndef VELMORDRIVERINPUTCONFIGURATION_H
#define VELMORDRIVERINPUTCONFIGURATION_H

#include "Properties.h"
#include "RecordListenerSet.h"
#include "VelmorDriverInputConfigurationTraits.h"
#include "VersionNumber.h"

#include <QByteArray>
#include <QMap>

class VelmorDriverInputConfiguration : public Properties<VelmorDriverInputConfigurationTraits>,
                                       public VelmorDriverInputConfigurationTraits
{
public:
    enum ChannelFunctionCode : qint32 { FirstLimitSwitch = 32, SecondLimitSwitch = 33, NoFunction = 255 };

    VelmorDriverInputConfiguration();
    ~VelmorDriverInputConfiguration() override;

    void write(QDataStream &stream) const override;
    void read(QDataStream &stream) override;

    // NoFunction for a channel without an entry; channels count from 1.
    qint32 channelFunction(qint32 channelNumber) const;
    QMap<qint32, qint32> channelFunctions() const { return m_channelFunctions; }
    void setChannelFunctions(const QMap<qint32, qint32> &channelFunctions);

    qint32 auxiliaryValue() const { return m_auxiliaryValue; }
    void setAuxiliaryValue(qint32 value) { m_auxiliaryValue = value; }

    QByteArray encode(VersionNumber hardwareVersion, VersionNumber deviceVersion) const;

    static int channelCount(VersionNumber hardwareVersion);

    void addRecordListener(RecordListener *listener) { m_recordListeners.add(listener); }
    void removeRecordListener(RecordListener *listener) { m_recordListeners.remove(listener); }

private:
    void readVersion1Members(QDataStream &stream);
    void readVersion2Members(QDataStream &stream);

    QMap<qint32, qint32> m_channelFunctions;
    qint32 m_auxiliaryValue = 0;
    RecordListenerSet m_recordListeners;
};

#endif // VELMORDRIVERINPUTCONFIGURATION_H
