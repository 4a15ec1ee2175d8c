// A byte channel: one USB interface of an FTDI chip, used as a byte pipe by a protocol.
// Reads, writes and queue queries throw USBResult on failure; open and close return it.
#ifndef USBISOCKET_H
#define USBISOCKET_H

#include "USBResult.h"
#include "USBSocketStatus.h"

#include <QByteArray>
#include <boost/shared_ptr.hpp>

class USBISocket
{
public:
    virtual ~USBISocket() = default;                                         // 0: an open handle is not closed
    virtual boost::shared_ptr<USBISocket> clone() const = 0;                 // 1: shares the open handle
    virtual USBResult open(quint32 baudRate) = 0;                            // 2
    virtual USBResult close() = 0;                                           // 3
    virtual void resetAndClose() = 0;                                        // 4
    virtual quint32 threadPriority() const = 0;                              // 5: a QThread::Priority value
    virtual quint32 deviceIndex() const = 0;                                 // 6: position in the D2XX info list
    virtual bool isOpen() const = 0;                                         // 7
    virtual USBSocketStatus status() = 0;                                    // 8
    virtual quint32 purge() = 0;                                             // 9: the raw D2XX status
    virtual void writeByte(quint8 value) = 0;                                // 10
    virtual quint32 write(const QByteArray &data) = 0;                       // 11
    virtual QByteArray read(qint32 count) = 0;                               // 12
    virtual void readInto(char *buffer, quint32 count) = 0;                  // 13
    virtual qint32 readAvailable(QByteArray &buffer, qint32 wantedTotal) = 0; // 14
    virtual quint32 bytesAvailable() = 0;                                    // 15
    virtual quint32 applyTimeouts() = 0;                                     // 16: the raw D2XX status
    virtual quint32 applyProtocolTimeouts() = 0;                             // 17: the raw D2XX status
    virtual void setReadHint(quint32 bytes) = 0;                             // 18
};

typedef boost::shared_ptr<USBISocket> USBISocketPtr;

#endif // USBISOCKET_H
