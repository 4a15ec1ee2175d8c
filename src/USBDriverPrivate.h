// USBDriver's private record. Not part of the API.
#ifndef USBDRIVERPRIVATE_H
#define USBDRIVERPRIVATE_H

#include "USBDevice.h"
#include "USBIProtocol.h"

#include <QList>

class USBDriverPrivate
{
public:
    USBDevicePtr device;
    QList<USBIProtocolPtr> m_protocols;
};

#endif // USBDRIVERPRIVATE_H
