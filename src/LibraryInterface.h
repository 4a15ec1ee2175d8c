// The library-wide state behind the exports, and the operations the exports share. All of it
// is read and written only under s_apiMutex, which every export holds for its whole duration.
#ifndef LIBRARYINTERFACE_H
#define LIBRARYINTERFACE_H

#include "USBDevice.h"
#include "VersionNumber.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QSet>

class LibraryInterface
{
public:
    // Device indices run from 1 to kIndexLimit - 1; entry 0 of the per-index state is unused.
    static constexpr int kIndexLimit = 100;

    static QMutex s_apiMutex;
    static bool s_initialised;
    static bool s_handshakeDone[kIndexLimit];
    static VersionNumber s_firmwareVersions[kIndexLimit];
    static QMap<VersionNumber, QSet<qint32>> s_supportedFirmware;

    // The attached units whose serial starts with "JX" and whose hardware version is supported,
    // in enumeration order; indices count positions in this list from 1.
    static QList<USBDevicePtr> listSupportedDevices();

    static void fillSupportedFirmware();
};

#endif // LIBRARYINTERFACE_H
