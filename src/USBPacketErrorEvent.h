// Posted to the error receiver when the worker's idle read fails; the worker then ends.
#ifndef USBPACKETERROREVENT_H
#define USBPACKETERROREVENT_H

#include "USBResult.h"

#include <QEvent>

class USBPacketErrorEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 3);

    USBPacketErrorEvent(qint32 id, const USBResult &error)
        : QEvent(kType)
        , id(id)
        , error(error)
    {
    }

    qint32 id;
    USBResult error;
};

#endif // USBPACKETERROREVENT_H
