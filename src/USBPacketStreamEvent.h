// Posted to a stream receiver when a packet with its id arrives.
#ifndef USBPACKETSTREAMEVENT_H
#define USBPACKETSTREAMEVENT_H

#include "USBResult.h"

#include <QByteArray>
#include <QEvent>

class USBPacketStreamEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 1);

    USBPacketStreamEvent(qint32 id, const QByteArray &data, const USBResult &result)
        : QEvent(kType)
        , id(id)
        , data(data)
        , result(result)
    {
    }

    qint32 id;
    QByteArray data;
    USBResult result;
};

#endif // USBPACKETSTREAMEVENT_H
