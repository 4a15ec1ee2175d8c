// Rewrites the identity in an FTDI chip's EEPROM: serial number, description, maximum power
// and the self-powered flag, read-modify-write with the call pair the chip type takes.
#ifndef USBFTDIEEPROM_H
#define USBFTDIEEPROM_H

#include "USBEepromSettings.h"
#include "USBResult.h"

class USBFtdiEeprom
{
public:
    // Opens the interface at `deviceIndex` of the D2XX list, programs it, cycles the port when
    // programming succeeded so that the chip re-joins the bus with its new identity, and
    // always closes it again. Returns the converted status of the last call that counted;
    // a chip type with no EEPROM routine gives "Unsupported devices" and is left untouched.
    static USBResult program(quint32 deviceIndex, const USBEepromSettings &settings);
};

#endif // USBFTDIEEPROM_H
