// The motor's electrical settings as the device stores them: current and further values, in a
// 10-byte layout for older firmware and an 11-byte one for newer firmware and hardware.
#ifndef VELMORDRIVERMOTORCONFIGURATION_H
#define VELMORDRIVERMOTORCONFIGURATION_H

#include "Properties.h"
#include "RecordListenerSet.h"
#include "ValidationMessage.h"
#include "VelmorDriverMotorConfigurationTraits.h"
#include "VersionNumber.h"

#include <QByteArray>
#include <QVector>

class VelmorDriverMotorConfiguration : public Properties<VelmorDriverMotorConfigurationTraits>,
                                       public VelmorDriverMotorConfigurationTraits
{
public:
    VelmorDriverMotorConfiguration() = default;
    VelmorDriverMotorConfiguration(const QByteArray &data, VersionNumber hardwareVersion, VersionNumber deviceVersion);
    ~VelmorDriverMotorConfiguration() override;

    void write(QDataStream &stream) const override;
    void read(QDataStream &stream) override;
    virtual QVector<ValidationMessage> validate(VersionNumber hardwareVersion);

    QByteArray encode(VersionNumber hardwareVersion, VersionNumber deviceVersion) const;

    static bool usesLongLayout(VersionNumber hardwareVersion, VersionNumber deviceVersion);
    static qint32 minimumCurrent();
    static qint32 maximumCurrent(VersionNumber hardwareVersion);
    // The width of the current's unsigned field on the wire, in bits.
    static constexpr int kCurrentBits = 16;

    void addRecordListener(RecordListener *listener) { m_recordListeners.add(listener); }
    void removeRecordListener(RecordListener *listener) { m_recordListeners.remove(listener); }

private:

    RecordListenerSet m_recordListeners;
};

#endif // VELMORDRIVERMOTORCONFIGURATION_H
