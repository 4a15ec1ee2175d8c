// Which physical unit a device is: its listed USB serial number at its USB location. The
// start-up state kept for an index and a held index both belong to one unit, named so.
#ifndef UNITIDENTITY_H
#define UNITIDENTITY_H

#include "USBDevice.h"

#include <QString>

class UnitIdentity
{
public:
    UnitIdentity() = default;
    static UnitIdentity of(const USBDevice &device);

    bool isNone() const { return m_serialNumber.isEmpty(); }
    bool isOf(const USBDevice &device) const;
    // Whether `serial` is the unit's listed serial number, in any letter case.
    static bool serialNames(const QString &serial, const USBDevice &device);

    const QString &serialNumber() const { return m_serialNumber; }
    bool operator==(const UnitIdentity &other) const
    {
        return m_serialNumber == other.m_serialNumber && m_locationId == other.m_locationId;
    }
    bool operator!=(const UnitIdentity &other) const { return !(*this == other); }

private:
    QString m_serialNumber;
    quint32 m_locationId = 0;
};

#endif // UNITIDENTITY_H
