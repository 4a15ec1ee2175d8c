// A unit behind FTDI interfaces: channel 0 is its serial command line; an FT2232H unit adds
// its data interface A as channel 1.
#ifndef USBFTDIDEVICE_H
#define USBFTDIDEVICE_H

#include "USBDevice.h"

class USBFtdiDevice : public USBDevice
{
public:
    explicit USBFtdiDevice(const QList<USBISocketPtr> &sockets = QList<USBISocketPtr>());

    void resetAll() override;
    void purgeAll() override;
    void closeAll() override;
    QList<USBISocketPtr> sockets() const override;
    USBISocketPtr socket(qint32 index) const override;
    USBISocketPtr mainSocket() const override;
    QList<USBISocketPtr> secondarySockets() const override;
    void applyTimeoutsAll() override;
    void applyProtocolTimeoutsAll() override;
    USBResult programEeprom(const USBEepromSettings &settings) override;
    // 10: same fields, same channel objects
    virtual USBDevicePtr clone() const;

    // The attached units in the D2XX list, grouped from their interfaces; with ownDevicesOnly,
    // only those whose listed serial starts with "JX".
    static QList<USBDevicePtr> enumerate(bool ownDevicesOnly);

    // The receive buffer of an FT2232H's data interface, and the size of one grant.
    static constexpr quint32 kDataInterfaceCapacity = 65280;

private:
    QList<USBISocketPtr> m_sockets;
};

#endif // USBFTDIDEVICE_H
