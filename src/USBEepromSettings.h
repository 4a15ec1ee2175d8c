// The identity a unit's EEPROM is rewritten with.
#ifndef USBEEPROMSETTINGS_H
#define USBEEPROMSETTINGS_H

#include <QString>

struct USBEepromSettings
{
    QString serialNumber;          // at most 16 characters are kept
    QString description;           // at most 63 characters are kept
    bool selfPowered = false;
    quint16 maxPower = 100;        // mA
    bool pinConfiguration = false; // X-series chips only
};

#endif // USBEEPROMSETTINGS_H
