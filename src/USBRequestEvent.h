// Posted to the receiver of a queued request once the worker has executed it.
#ifndef USBREQUESTEVENT_H
#define USBREQUESTEVENT_H

#include "USBICommRequest.h"

#include <QEvent>

class USBRequestEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 2);

    USBRequestEvent(const USBICommRequestPtr &request, const USBResult &result)
        : QEvent(kType)
        , request(request)
        , result(result)
    {
    }

    USBICommRequestPtr request;
    USBResult result;
};

#endif // USBREQUESTEVENT_H
