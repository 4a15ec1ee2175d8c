// The motor's 14-byte status snapshot: position counter, step mode and status bytes. A plain
// read-only value, decoded from the get-motor-information reply.
#ifndef VELMORDRIVERMOTORINFO_H
#define VELMORDRIVERMOTORINFO_H

#include "RecordListenerSet.h"
#include "VersionNumber.h"

#include <QByteArray>

class VelmorDriverMotorInfo
{
public:
    explicit VelmorDriverMotorInfo(const QByteArray &data);
    VelmorDriverMotorInfo(const VelmorDriverMotorInfo &) = default;
    VelmorDriverMotorInfo &operator=(const VelmorDriverMotorInfo &) = default;
    ~VelmorDriverMotorInfo();

    quint32 firstWord() const { return m_firstWord; }
    quint32 stepMode() const { return m_stepMode; }
    quint32 flag9() const { return m_flag9; }
    quint32 flag10() const { return m_flag10; }
    quint32 ready() const { return m_ready; }
    quint32 flag12() const { return m_flag12; }
    quint32 flag13() const { return m_flag13; }
    // The position counter in units of the current step mode.
    qint32 position() const { return m_position; }

    bool isReady() const { return m_ready == 1; }
    // The position in whole steps; 0.0 for a step mode the hardware does not have.
    double positionInSteps(VersionNumber hardwareVersion) const;

    void addRecordListener(RecordListener *listener) { m_recordListeners.add(listener); }
    void removeRecordListener(RecordListener *listener) { m_recordListeners.remove(listener); }

private:
    quint32 m_firstWord = 0;
    quint32 m_stepMode = 0;
    quint32 m_flag9 = 0;
    quint32 m_flag10 = 0;
    quint32 m_ready = 0;
    quint32 m_flag12 = 0;
    quint32 m_flag13 = 0;
    qint32 m_position = 0;
    RecordListenerSet m_recordListeners;
};

#endif // VELMORDRIVERMOTORINFO_H
