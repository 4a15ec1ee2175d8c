// The client of a unit's bootloader: starts the unit and reads its information page, which
// names the firmware version that the device's records depend on.
#ifndef BOOTLOADER_H
#define BOOTLOADER_H

#include "DeviceInformation.h"
#include "USBResult.h"

#include <boost/shared_ptr.hpp>

class BootloaderCommRequest;
class USBDriver;

class Bootloader
{
public:
    explicit Bootloader(quint8 option = 0);

    // Command 2, written raw: nothing is awaited.
    USBResult runStartCommand(USBDriver &driver);
    // Purges the channels, reads the bootloader information and the information page, decodes
    // the page into information and stores its firmware version as the open device's
    // deviceVersion. On any failure nothing is stored.
    USBResult readDeviceInformation(USBDriver &driver, DeviceInformation &information, quint8 *flagBit = nullptr);

    quint8 option() const { return m_option; }

    // Page sizes the information read accepts: a page holds at least the fixed fields, and
    // page plus check bytes must fit the 16-bit length of a reply packet.
    static constexpr quint32 kMinimumPageSize = DeviceInformation::kMinimumPageSize;
    static constexpr quint32 kMaximumPageSize = 0xFFFF - 2;

private:
    USBResult send(USBDriver &driver, const boost::shared_ptr<BootloaderCommRequest> &request);

    quint32 m_variant = 1;
    quint8 m_option;
};

#endif // BOOTLOADER_H
