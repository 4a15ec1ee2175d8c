// Backlash compensation and homing settings as the device stores them, in one 11-byte layout.
#ifndef VELMORDRIVERADVANCEDMOTORMOVECONFIGURATION_H
#define VELMORDRIVERADVANCEDMOTORMOVECONFIGURATION_H

#include "Properties.h"
#include "RecordListenerSet.h"
#include "VelmorDriverAdvancedMotorMoveConfigurationTraits.h"

#include <QByteArray>

class VelmorDriverAdvancedMotorMoveConfiguration : public Properties<VelmorDriverAdvancedMotorMoveConfigurationTraits>,
                                                   public VelmorDriverAdvancedMotorMoveConfigurationTraits
{
public:
    VelmorDriverAdvancedMotorMoveConfiguration() = default;
    explicit VelmorDriverAdvancedMotorMoveConfiguration(const QByteArray &data);
    ~VelmorDriverAdvancedMotorMoveConfiguration() override;

    void write(QDataStream &stream) const override;
    void read(QDataStream &stream) override;

    QByteArray encode() const;

    // The width of the backlash step count's unsigned field on the wire, in bits.
    static constexpr int kBacklashStepsBits = 16;

    void addRecordListener(RecordListener *listener) { m_recordListeners.add(listener); }
    void removeRecordListener(RecordListener *listener) { m_recordListeners.remove(listener); }

private:
    RecordListenerSet m_recordListeners;
};

#endif // VELMORDRIVERADVANCEDMOTORMOVECONFIGURATION_H
