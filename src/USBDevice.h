// One physical unit, seen as one or two FTDI interfaces, with its channels.
#ifndef USBDEVICE_H
#define USBDEVICE_H

#include "USBEepromSettings.h"
#include "USBISocket.h"
#include "VersionNumber.h"

#include <QList>
#include <QString>
#include <boost/shared_ptr.hpp>

class USBDevice
{
public:
    virtual ~USBDevice() = default;

    virtual void resetAll() = 0;                                       // 0
    virtual void purgeAll() = 0;                                       // 1
    virtual void closeAll() = 0;                                       // 2
    virtual QList<USBISocketPtr> sockets() const = 0;                  // 3
    virtual USBISocketPtr socket(qint32 index) const = 0;              // 4
    virtual USBISocketPtr mainSocket() const = 0;                      // 5
    virtual QList<USBISocketPtr> secondarySockets() const = 0;         // 6
    virtual void applyTimeoutsAll() = 0;                               // 7
    virtual void applyProtocolTimeoutsAll() = 0;                       // 8
    virtual USBResult programEeprom(const USBEepromSettings &settings) = 0; // 9

    quint32 usbId = 0;          // vendor ID in the high 16 bits, product ID in the low 16 bits
    QString serialNumber;       // as listed for the first interface
    QString description;
    quint32 chipType = 0;       // the D2XX FT_DEVICE number of its first listed interface
    quint32 locationId = 0;     // of its first listed interface
    VersionNumber deviceVersion; // the firmware version, once the bootloader has been read
    bool listedOpen = false;    // D2XX lists one of its interfaces as open, by this process or another
};

typedef boost::shared_ptr<USBDevice> USBDevicePtr;

#endif // USBDEVICE_H
