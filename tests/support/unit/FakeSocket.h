// A channel in memory for protocol tests: what the host writes is recorded (and may be
// answered at once by a responder), what the device "sends" waits in a byte queue. A read of
// more than is queued fails at once as the real channel does after its time-out.
#ifndef VELMOR_TESTS_FAKESOCKET_H
#define VELMOR_TESTS_FAKESOCKET_H

#include "USBISocket.h"

#include <QList>
#include <QMutex>
#include <functional>
#include <memory>

class FakeSocket : public USBISocket
{
public:
    struct Shared
    {
        QMutex mutex;
        QByteArray incoming;
        QList<QByteArray> writes;
        std::function<QByteArray(const QByteArray &)> responder;
        USBResult openResult;
        int opens = 0;
        int closes = 0;
        int protocolTimeoutsApplied = 0;
        bool open = false;
    };

    FakeSocket();

    // Clones share everything: one fake interface, several objects.
    USBISocketPtr clone() const override;
    USBResult open(quint32 baudRate) override;
    USBResult close() override;
    void resetAndClose() override;
    quint32 threadPriority() const override { return 7; }
    quint32 deviceIndex() const override { return 0; }
    bool isOpen() const override;
    USBSocketStatus status() override;
    quint32 purge() override { return 0; }
    void writeByte(quint8 value) override;
    quint32 write(const QByteArray &data) override;
    QByteArray read(qint32 count) override;
    void readInto(char *buffer, quint32 count) override;
    qint32 readAvailable(QByteArray &buffer, qint32 wantedTotal) override;
    quint32 bytesAvailable() override;
    quint32 applyTimeouts() override { return 0; }
    quint32 applyProtocolTimeouts() override;
    void setReadHint(quint32) override {}

    void deviceSends(const QByteArray &bytes);
    QList<QByteArray> writes() const;
    Shared &shared() { return *m_shared; }

private:
    std::shared_ptr<Shared> m_shared;
};

// Bytes from a hex text such as "05 65 00 00 00".
QByteArray hexBytes(const char *text);

#endif
