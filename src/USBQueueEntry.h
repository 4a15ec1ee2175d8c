// A posted request waiting for the protocol's worker, with the object told of its outcome.
#ifndef USBQUEUEENTRY_H
#define USBQUEUEENTRY_H

#include "USBICommRequest.h"

#include <QObject>
#include <QPointer>

struct USBQueueEntry
{
    qint32 id = 0;
    USBICommRequestPtr request;
    QPointer<QObject> receiver;
};

#endif // USBQUEUEENTRY_H
