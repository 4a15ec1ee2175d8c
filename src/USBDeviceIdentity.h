// What a unit's USB serial number says about it: "JX", flow control ('a' none, 'b' RTS/CTS),
// model ('h' or 'p'), three digits of hardware major, two of minor, and at 13 characters a
// four-digit unit number or "xxxx".
#ifndef USBDEVICEIDENTITY_H
#define USBDEVICEIDENTITY_H

#include "VersionNumber.h"

#include <QString>

class USBDevice;

struct USBDeviceIdentity
{
    bool valid = false;
    bool numberWildcard = false;
    quint32 modelLetter = 0;   // 0 for 'h', 1 for 'p'
    quint32 flowControl = 0;   // 0 for 'a' (none), 1 for 'b' (RTS/CTS)
    quint32 major = 0;
    quint32 minor = 0;
    quint32 unitNumber = 0;
};

// Fields the parser did not reach stay 0.
USBDeviceIdentity identityFromSerial(const QString &serial);

// The hardware version in the device's listed serial number, whether or not the identity is
// valid: a serial rejected by its length gives 0.0.
VersionNumber hardwareVersion(const USBDevice &device);

// The listed serial number starts with "JX", case-sensitive.
bool hasOwnSerialPrefix(const USBDevice &device);

#endif // USBDEVICEIDENTITY_H
