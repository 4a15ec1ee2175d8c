// What a channel reports of its queues.
#ifndef USBSOCKETSTATUS_H
#define USBSOCKETSTATUS_H

#include <QString>

struct USBSocketStatus
{
    enum Code : quint32 { Read = 0, NotOpen = 1, CallFailed = 2 };

    quint32 code = NotOpen;
    quint32 rxQueue = 0;  // bytes waiting to be read
    quint32 txQueue = 0;  // bytes waiting to be sent
    QString message;      // the failure's text when code is CallFailed
};

#endif // USBSOCKETSTATUS_H
