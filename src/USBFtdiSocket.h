// The plain channel: one FTDI interface opened through D2XX and used as a byte pipe.
#ifndef USBFTDISOCKET_H
#define USBFTDISOCKET_H

#include "FtdiLibrary.h"
#include "USBISocket.h"

class USBFtdiSocket : public USBISocket
{
public:
    enum Flag : quint32 { UartMode = 0x1 };

    // uartMode: this interface of an FT2232H is the serial command line.
    explicit USBFtdiSocket(quint32 deviceIndex, bool uartMode = false);

    USBISocketPtr clone() const override;
    USBResult open(quint32 baudRate) override;
    USBResult close() override;
    void resetAndClose() override;
    quint32 threadPriority() const override;
    quint32 deviceIndex() const override;
    bool isOpen() const override;
    USBSocketStatus status() override;
    quint32 purge() override;
    void writeByte(quint8 value) override;
    quint32 write(const QByteArray &data) override;
    QByteArray read(qint32 count) override;
    void readInto(char *buffer, quint32 count) override;
    qint32 readAvailable(QByteArray &buffer, qint32 wantedTotal) override;
    quint32 bytesAvailable() override;
    quint32 applyTimeouts() override;
    quint32 applyProtocolTimeouts() override;
    void setReadHint(quint32 bytes) override;

    bool uartMode() const { return (m_flags & UartMode) != 0; }

protected:
    quint32 m_flags = 0;
    quint32 m_deviceIndex;
    FT_HANDLE m_handle = nullptr;
    quint32 m_threadPriority = 0;
};

#endif // USBFTDISOCKET_H
