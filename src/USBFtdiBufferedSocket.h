// The data interface A of an FT2232H: bytes paced by grants (one zero byte allows the unit to
// send the next bufferCapacity bytes), read in blocks into the channel's own buffer.
#ifndef USBFTDIBUFFEREDSOCKET_H
#define USBFTDIBUFFEREDSOCKET_H

#include "USBChannelLog.h"
#include "USBFtdiSocket.h"

#include <boost/scoped_array.hpp>

class USBFtdiBufferedSocket : public USBFtdiSocket
{
public:
    USBFtdiBufferedSocket(quint32 deviceIndex, quint32 bufferCapacity);

    // Counters, handle and hint copied; no buffer and a log of its own.
    USBISocketPtr clone() const override;
    // baudRate is ignored: the interface runs as a FIFO.
    USBResult open(quint32 baudRate) override;
    // Not supported: a programming error.
    QByteArray read(qint32 count) override;
    void readInto(char *buffer, quint32 count) override;
    // Not supported: a programming error.
    qint32 readAvailable(QByteArray &buffer, qint32 wantedTotal) override;
    // Buffered bytes plus those queued in D2XX; renews a used-up grant first.
    quint32 bytesAvailable() override;
    quint32 applyTimeouts() override;
    quint32 applyProtocolTimeouts() override;
    void setReadHint(quint32 bytes) override;

    quint32 bufferCapacity() const { return m_bufferCapacity; }
    quint32 remainingGrant() const { return m_bufferRemainingRxCount; }
    quint32 readHint() const { return m_readHint; }
    quint32 bufferedCount() const { return m_bufferSize; }
    QString logFileName() const { return m_log.fileName(); }

private:
    USBFtdiBufferedSocket(const USBFtdiBufferedSocket &other);

    void allocateBuffer();
    void grant();
    // Reads the next block; only called with the buffer empty.
    void refill();

    quint32 m_bufferCapacity;
    quint32 m_bufferRemainingRxCount = 0;  // bytes the unit may still send under the current grant
    quint32 m_readHint = 0;                // upper bound for the next block; 0 = none
    boost::scoped_array<char> m_buffer;
    quint32 m_bufferSize = 0;              // bytes in the buffer not yet handed out
    quint32 m_readPos = 0;                 // index of the next byte to hand out
    USBChannelLog m_log;
};

#endif // USBFTDIBUFFEREDSOCKET_H
