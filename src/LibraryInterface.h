// The library-wide state behind the exports, and the operations the exports share. All of it
// is read and written only under s_apiMutex, which every export holds for its whole duration.
#ifndef LIBRARYINTERFACE_H
#define LIBRARYINTERFACE_H

#include "USBDevice.h"
#include "USBDriver.h"
#include "VersionNumber.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QVariant>
#include <cstdint>
#include <functional>

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

    // Opens the unit at `deviceIndex` in `driver`, running its start-up handshake on the first
    // use of the index since initialise. Returns 0 or the export's result code; the unit may be
    // left open in `driver` on a failure.
    static int32_t openDevice(int32_t deviceIndex, USBDriver &driver);

    // Sends one motor-driver action to the open unit; the reply data go to `reply`.
    static USBResult sendRequest(USBDriver &driver, int32_t deviceIndex, qint32 action,
                                 const QByteArray &payload = QByteArray(), QByteArray *reply = nullptr);

    // Creates the per-call driver, opens the unit and runs `body` on it; the driver is destroyed
    // (closing the unit) before it returns. Takes no lock.
    using OpenBody = std::function<int32_t(USBDriver &driver, VersionNumber hardwareVersion)>;
    static int32_t withOpenDevice(int32_t deviceIndex, const OpenBody &body);

    // Read-modify-write of the motion and motor configurations; they take no lock. With
    // `valuesFit` false a value does not fit its field of the unit's record: after the read the
    // write fails without sending, as the unit's refusal would.
    static int32_t writeMotionConfigurationValues(int32_t deviceIndex, const QList<qint32> &keys,
                                                  const QList<qint32> &values, bool valuesFit = true);
    static int32_t writeMotorConfigurationValues(int32_t deviceIndex, const QList<qint32> &keys,
                                                 const QList<QVariant> &values, bool valuesFit = true);

    static constexpr quint32 kBaudRate = 500000;
    static constexpr unsigned long kStartupWaitMs = 600;
    static constexpr unsigned long kSettleWaitMs = 50;
};

#endif // LIBRARYINTERFACE_H
