#include "UnitIdentity.h"

UnitIdentity UnitIdentity::of(const USBDevice &device)
{
    UnitIdentity identity;
    identity.m_serialNumber = device.serialNumber;
    identity.m_locationId = device.locationId;
    return identity;
}

bool UnitIdentity::isOf(const USBDevice &device) const
{
    return !isNone() && m_serialNumber == device.serialNumber && m_locationId == device.locationId;
}

bool UnitIdentity::serialNames(const QString &serial, const USBDevice &device)
{
    return !serial.isEmpty() && serial.compare(device.serialNumber, Qt::CaseInsensitive) == 0;
}
