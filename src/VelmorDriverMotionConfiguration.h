// How a motor moves (step mode, speeds, acceleration) as the device stores it, in an 8-byte
// layout on older hardware and an 11-byte one with the alternate speed; and the move order, the
// payload of a move command.
#ifndef VELMORDRIVERMOTIONCONFIGURATION_H
#define VELMORDRIVERMOTIONCONFIGURATION_H

#include "Properties.h"
#include "RecordListenerSet.h"
#include "ValidationMessage.h"
#include "VelmorDriverMotionConfigurationTraits.h"
#include "VersionNumber.h"

#include <QByteArray>
#include <QVector>

class VelmorDriverMotionConfiguration : public Properties<VelmorDriverMotionConfigurationTraits>,
                                        public VelmorDriverMotionConfigurationTraits
{
public:
    VelmorDriverMotionConfiguration() = default;
    VelmorDriverMotionConfiguration(const QByteArray &data, VersionNumber hardwareVersion);
    ~VelmorDriverMotionConfiguration() override;

    void write(QDataStream &stream) const override;
    void read(QDataStream &stream) override;
    virtual QVector<ValidationMessage> validate(VersionNumber hardwareVersion);

    QByteArray encode(VersionNumber hardwareVersion) const;

    static bool usesLongLayout(VersionNumber hardwareVersion);
    // The fastest step rate (speed times 2 to the step mode) that validation lets through.
    static qint32 maximumStepRate(VersionNumber hardwareVersion);
    // Widths of the unsigned fields on the wire, in bits; the acceleration's counts tenths.
    static constexpr int kStepModeBits = 8;
    static constexpr int kSpeedBits = 16;
    static constexpr int kAccelerationBits = 32;
    // The speed times 2 to the power of the step mode's low five bits, in 32-bit two's complement.
    static qint32 stepRate(qint32 speed, qint32 stepMode);

    void addRecordListener(RecordListener *listener) { m_recordListeners.add(listener); }
    void removeRecordListener(RecordListener *listener) { m_recordListeners.remove(listener); }

private:
    void validateSpeed(Key speedKey, VersionNumber hardwareVersion, QVector<ValidationMessage> &messages);
    void validateAcceleration(qint32 speed, QVector<ValidationMessage> &messages);

    RecordListenerSet m_recordListeners;
};

// The payload of a move command: kind, direction (0 toward increasing position, 1 toward
// decreasing position) and a step count.
struct VelmorDriverMoveOrder
{
    enum Direction : quint8 { Increasing = 0, Decreasing = 1 };

    quint8 kind = 0;
    quint8 direction = Increasing;
    quint32 steps = 0;

    VelmorDriverMoveOrder() = default;
    VelmorDriverMoveOrder(quint8 kind, quint8 direction, quint32 steps);

    // Kind 1: the displacement's size as the steps, its sign as the direction. The size must fit
    // 32 bits, as the difference of two 32-bit positions does.
    static VelmorDriverMoveOrder relative(qint64 displacement);

    QByteArray encode(VersionNumber hardwareVersion) const;
};

#endif // VELMORDRIVERMOTIONCONFIGURATION_H
