// A protocol serving one channel: frames requests, reads replies, and optionally works off
// posted requests in a worker thread.
#ifndef USBIPROTOCOL_H
#define USBIPROTOCOL_H

#include "USBICommRequest.h"
#include "USBISocket.h"

#include <QObject>
#include <boost/shared_ptr.hpp>

class USBPacketHandler;

class USBIProtocol
{
public:
    virtual ~USBIProtocol() = default;                                        // 0
    virtual void setPollInterval(qint32 microseconds) = 0;                    // 1
    virtual bool isRunning() const = 0;                                       // 2
    virtual void setStreamReceiver(qint32 id, QObject *receiver) = 0;         // 3
    virtual void removeStreamReceiver(qint32 id) = 0;                         // 4
    virtual void setErrorReceiver(QObject *receiver) = 0;                     // 5
    virtual void setPacketHandler(USBPacketHandler *handler) = 0;             // 6
    virtual void start() = 0;                                                 // 7
    virtual void stop() = 0;                                                  // 8
    virtual USBISocketPtr socket() const = 0;                                 // 9
    virtual USBResult execute(const USBICommRequestPtr &request) = 0;         // 10
    virtual void postRequest(const USBICommRequestPtr &request, QObject *receiver) = 0; // 11
    virtual void cancelPendingRequests() = 0;                                 // 12
    virtual bool isIdle() const = 0;                                          // 13
    virtual void waitForIdle() = 0;                                           // 14
    virtual void setSocket(const USBISocketPtr &socket) = 0;                  // 15
};

typedef boost::shared_ptr<USBIProtocol> USBIProtocolPtr;

#endif // USBIPROTOCOL_H
