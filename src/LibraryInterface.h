// The library-wide state behind the exports and the companion functions, and the operations
// they share. All of it is read and written only under s_apiMutex, which every one of them
// holds for its whole duration but for the waits for a held unit's turn and the exchanges with
// it (UnitTurn). The host's own state, whether it called initialise and what it holds, is its
// session's (LibrarySession).
#ifndef LIBRARYINTERFACE_H
#define LIBRARYINTERFACE_H

#include "FairMutex.h"
#include "HeldUnit.h"
#include "LibrarySession.h"
#include "OpenUnit.h"
#include "UnitIdentity.h"
#include "USBDevice.h"
#include "USBDriver.h"
#include "VelmorDriverMotorInfo.h"
#include "VersionNumber.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QVariant>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class LibraryInterface
{
public:
    // Device indices run from 1 to kIndexLimit - 1; entry 0 of the per-index state is unused.
    static constexpr int kIndexLimit = LibrarySession::kIndexLimit;

    // Host threads enter in the order they called in.
    static FairMutex s_apiMutex;
    static bool s_handshakeDone[kIndexLimit];
    static VersionNumber s_firmwareVersions[kIndexLimit];
    // The unit whose handshake set the index's flag and firmware version.
    static UnitIdentity s_handshakeUnits[kIndexLimit];
    static QMap<VersionNumber, QSet<qint32>> s_supportedFirmware;

    // The attached units whose serial starts with "JX" and whose hardware version is supported,
    // in enumeration order; indices count positions in this list from 1.
    static QList<USBDevicePtr> listSupportedDevices();

    static void fillSupportedFirmware();

    // Opens the unit at `deviceIndex` in `driver`, running its start-up handshake on the first
    // use of the index since initialise, or when another unit than the one that went through
    // the handshake there stands at the index now. Returns 0 or the export's result code; the
    // unit may be left open in `driver` on a failure.
    static int32_t openDevice(int32_t deviceIndex, USBDriver &driver);

    // Sends one motor-driver action to the open unit; the reply data go to `reply`.
    static USBResult sendRequest(USBDriver &driver, int32_t deviceIndex, qint32 action,
                                 const QByteArray &payload = QByteArray(), QByteArray *reply = nullptr);

    // Creates the per-call driver, opens the unit and runs `body` on it; the driver is destroyed
    // (closing the unit) before it returns. On a held index `body` runs on the held unit, which
    // stays open unless a D2XX call failed meanwhile, and only while that unit is the one listed
    // at the index: otherwise the call fails with 3 (1 beyond the listing) and sends nothing.
    // A unit held at another index is not opened here either (3). Takes no lock.
    using OpenBody = std::function<int32_t(USBDriver &driver, VersionNumber hardwareVersion)>;
    static int32_t withOpenDevice(int32_t deviceIndex, const OpenBody &body);

    // Opens the unit as any call does and pins the index to it, open, for the calls on it.
    static int32_t holdUnit(int32_t deviceIndex);
    // Finds the unit by its listed USB serial number (any letter case) without opening the
    // others and holds it at the index it is listed at, which goes to `deviceIndex` whenever the
    // unit is listed. A hold of it at an index where it no longer stands gives up its handle.
    static int32_t holdUnitBySerial(const QString &serial, int32_t *deviceIndex);
    // The index the unit is listed at now; 28 when it is not listed, 1 beyond index 99.
    static int32_t whereIsUnit(const QString &serial, int32_t *deviceIndex);
    static void releaseUnit(int32_t deviceIndex);
    static void releaseAllUnits();
    // What is known of the index without opening anything; false for an index outside 1 to 99.
    struct IndexState
    {
        USBDevicePtr listed;             // null when no supported unit is listed at the index
        const HeldUnit *held = nullptr;  // the pin of the index, if any
        int32_t heldUnitIndex = 0;       // held: where its unit is listed now, 0 when not listed
        int32_t listedUnitHeldAt = 0;    // listed: another index at which its unit is held
        bool listedOpenElsewhere = false; // listed: D2XX lists it open, and not by a hold here
    };
    static bool indexState(int32_t deviceIndex, IndexState &state);

    // 0 when the motor is ready for a move, else the code a move returns.
    static int32_t readinessGate(const VelmorDriverMotorInfo &information);
    // The position in full steps truncated toward zero, as getAbsolutePosition gives it.
    static int32_t positionInWholeSteps(const VelmorDriverMotorInfo &information, VersionNumber hardwareVersion);
    // Hardware 1.1 answers with 10 bytes whatever its firmware, while the record takes the
    // 11-byte layout from firmware 2.1 on: a reply that does not fit the layout is a failed read.
    static bool fitsMotorConfigurationLayout(const QByteArray &reply, VersionNumber hardwareVersion,
                                             VersionNumber firmwareVersion);

    static bool isIndexInRange(int32_t deviceIndex) { return deviceIndex >= 1 && deviceIndex < kIndexLimit; }
    static bool hasRelay(VersionNumber hardwareVersion);

    // Whether a value fits an unsigned field of the records' wire form, and the largest one that does.
    static bool fitsUnsignedField(qint64 value, int bits) { return value >= 0 && value <= largestInField(bits); }
    static constexpr qint64 largestInField(int bits) { return (qint64(1) << bits) - 1; }

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
    // The largest home values setHomeSettings takes.
    static constexpr uint32_t kLargestHomeValue = 10000;

private:
    static int32_t openListed(int32_t deviceIndex, const QList<USBDevicePtr> &devices, USBDriver &driver);
    static int32_t runStartUpHandshake(int32_t deviceIndex, USBDriver &driver);
    static HeldUnit *pinAt(int32_t deviceIndex);
    // The index, other than `exceptIndex`, at which `device` is held; 0 when none.
    static int32_t heldIndexOf(const USBDevice &device, int32_t exceptIndex);
    static bool listedUnitIsHeldElsewhere(int32_t deviceIndex, const QList<USBDevicePtr> &devices);
    static int32_t listedIndexOf(const UnitIdentity &unit, const QList<USBDevicePtr> &devices);
    // Closes the handles that holds of `unit` at other indices keep: one handle per unit.
    static void closeOtherHandlesOf(const UnitIdentity &unit, int32_t exceptIndex);
    static int32_t withPinnedUnit(int32_t deviceIndex, HeldUnit &pin, const QList<USBDevicePtr> &devices,
                                  const OpenBody &body);
    // The handle some hold keeps open of the unit the call is for: the pinned one, else the one
    // listed at the index.
    static std::shared_ptr<OpenUnit> liveUnitFor(int32_t deviceIndex, const HeldUnit *pin,
                                                 const QList<USBDevicePtr> &devices);
    // Runs an unpinned call on the handle another session's hold keeps open.
    static int32_t withSharedUnit(int32_t deviceIndex, const std::shared_ptr<OpenUnit> &unit,
                                  const QList<USBDevicePtr> &devices, const OpenBody &body);
    static int32_t runOnOpenUnit(int32_t deviceIndex, OpenUnit &unit, const OpenBody &body);
    // Whether the handle is usable and its receive queues were emptied; a refusal marks it broken.
    static bool purged(const std::shared_ptr<OpenUnit> &unit);
    // Gives the pin the unit's live handle (the caller has its turn), else opens the unit anew.
    static int32_t attachOpenUnit(int32_t deviceIndex, const QList<USBDevicePtr> &devices, HeldUnit &pin);
    static int32_t pinNewHold(int32_t deviceIndex, const QList<USBDevicePtr> &devices);
};

#endif // LIBRARYINTERFACE_H
