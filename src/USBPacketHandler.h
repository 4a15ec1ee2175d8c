// Optional hook that takes over the protocol's delivery of packets and outcomes.
#ifndef USBPACKETHANDLER_H
#define USBPACKETHANDLER_H

#include "USBQueueEntry.h"
#include "USBResult.h"

class USBPacketHandler
{
public:
    virtual ~USBPacketHandler() = default;
    virtual void requestFinished(const USBQueueEntry &entry, const USBResult &result) = 0;
    virtual void errorOccurred(const USBResult &error, const QPointer<QObject> &errorReceiver) = 0;
    virtual void packetReceived(qint32 id, const QByteArray &data) = 0;
    virtual bool acceptsPacket(qint32 id) = 0;
};

#endif // USBPACKETHANDLER_H
