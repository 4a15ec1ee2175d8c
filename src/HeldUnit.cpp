#include "HeldUnit.h"

#include "FtdiLibrary.h"

bool HeldUnit::isSameUnitAs(const USBDevice &listed) const
{
    const USBDevicePtr held = m_call.driver.device();
    return held && held->serialNumber == listed.serialNumber && held->locationId == listed.locationId;
}

bool HeldUnit::purge()
{
    const USBDevicePtr held = m_call.driver.device();
    if (!held)
        return false;
    for (const USBISocketPtr &socket : held->sockets()) {
        if (socket->purge() != FT_OK)
            return false;
    }
    return true;
}
