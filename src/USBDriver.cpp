#include "USBDriver.h"

#include "Assert.h"
#include "USBDriverPrivate.h"

USBDriver::USBDriver(const USBIProtocolPtr &protocol)
    : m_pPrivate(new USBDriverPrivate)
{
    m_pPrivate->m_protocols.append(protocol);
}

USBDriver::~USBDriver()
{
    close();
}

USBResult USBDriver::open(const USBDevicePtr &device, quint32 baudRate)
{
    if (m_pPrivate->device)
        return USBResult(QStringLiteral("Another device is already open"), USBResult::Error);
    USBResult result = device->mainSocket()->open(baudRate);
    if (!result.isOk())
        return result;
    const QList<USBISocketPtr> secondary = device->secondarySockets();
    for (const USBISocketPtr &socket : secondary) {
        result = socket->open(baudRate);
        if (!result.isOk()) {
            device->mainSocket()->close();
            for (const USBISocketPtr &opened : secondary)
                opened->close();
            return result;
        }
    }
    m_pPrivate->device = device;
    const QList<USBIProtocolPtr> &protocols = m_pPrivate->m_protocols;
    protocols.at(0)->setSocket(device->mainSocket());
    for (int k = 1; k <= secondary.size() && k < protocols.size(); ++k)
        protocols.at(k)->setSocket(secondary.at(k - 1));
    return result;
}

void USBDriver::close()
{
    if (!m_pPrivate->device)
        return;
    for (const USBIProtocolPtr &protocol : m_pPrivate->m_protocols) {
        protocol->cancelPendingRequests();
        protocol->setSocket(USBISocketPtr());
    }
    m_pPrivate->device->closeAll();
    m_pPrivate->device.reset();
}

void USBDriver::purge()
{
    if (m_pPrivate->device)
        m_pPrivate->device->purgeAll();
}

USBDevicePtr USBDriver::device() const
{
    return m_pPrivate->device;
}

USBResult USBDriver::sendRequest(const USBICommRequestPtr &request, qint32 socketIndex)
{
    VELMOR_ASSERT(socketIndex >= 0);
    VELMOR_ASSERT(socketIndex < m_pPrivate->m_protocols.count());
    if (!m_pPrivate->device)
        return USBResult(QStringLiteral("No device is open"), USBResult::Error);
    return m_pPrivate->m_protocols.at(socketIndex)->execute(request);
}
