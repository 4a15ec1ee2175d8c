// Ties one open device to the protocols that talk over its channels: protocol i serves channel i.
#ifndef USBDRIVER_H
#define USBDRIVER_H

#include "USBDevice.h"
#include "USBICommRequest.h"
#include "USBIProtocol.h"

#include <QObject>
#include <QScopedPointer>

class USBDriverPrivate;

class USBDriver : public QObject
{
    Q_OBJECT

public:
    explicit USBDriver(const USBIProtocolPtr &protocol);
    ~USBDriver() override;

    // Opens every channel of the device (rolling back on a failure) and attaches them.
    USBResult open(const USBDevicePtr &device, quint32 baudRate);
    // Cancels queued work, detaches the protocols, then closes the channels.
    void close();
    void purge();
    USBDevicePtr device() const;
    USBResult sendRequest(const USBICommRequestPtr &request, qint32 socketIndex);

private:
    QScopedPointer<USBDriverPrivate> m_pPrivate;
};

#endif // USBDRIVER_H
