#include "LibraryInterface.h"

#include "Bootloader.h"
#include "HardwareModel.h"
#include "LibraryCall.h"
#include "LibrarySession.h"
#include "UnitTurn.h"
#include "USBDeviceIdentity.h"
#include "USBFtdiDevice.h"
#include "USBFtdiSocket.h"
#include "VelmorDriverCommRequest.h"
#include "VelmorDriverMotorConfiguration.h"
#include "VelmorLib.h"

#include <QThread>
#include <boost/make_shared.hpp>

FairMutex LibraryInterface::s_apiMutex;
bool LibraryInterface::s_handshakeDone[LibraryInterface::kIndexLimit] = {};
VersionNumber LibraryInterface::s_firmwareVersions[LibraryInterface::kIndexLimit];
UnitIdentity LibraryInterface::s_handshakeUnits[LibraryInterface::kIndexLimit];
QMap<VersionNumber, QSet<qint32>> LibraryInterface::s_supportedFirmware;

void LibraryInterface::fillSupportedFirmware()
{
    for (VersionNumber hardware : HardwareModel::supportedVersions()) {
        const QList<qint32> &majors = HardwareModel::of(hardware).acceptedFirmwareMajors;
        s_supportedFirmware.insert(hardware, QSet<qint32>(majors.begin(), majors.end()));
    }
}

QList<USBDevicePtr> LibraryInterface::listSupportedDevices()
{
    if (s_supportedFirmware.isEmpty())
        fillSupportedFirmware();
    QList<USBDevicePtr> supported;
    for (const USBDevicePtr &device : USBFtdiDevice::enumerate(true)) {
        if (hasOwnSerialPrefix(*device) && s_supportedFirmware.contains(hardwareVersion(*device)))
            supported.append(device);
    }
    return supported;
}

int32_t LibraryInterface::openDevice(int32_t deviceIndex, USBDriver &driver)
{
    if (!LibrarySession::current().initialised)
        return VELMOR_ERROR_NOT_INITIALISED;
    return openListed(deviceIndex, listSupportedDevices(), driver);
}

int32_t LibraryInterface::openListed(int32_t deviceIndex, const QList<USBDevicePtr> &devices, USBDriver &driver)
{
    if (deviceIndex < 1 || deviceIndex > devices.size() || deviceIndex >= kIndexLimit)
        return VELMOR_ERROR_DEVICE_INDEX;
    const USBDevicePtr &device = devices.at(deviceIndex - 1);
    if (!driver.open(device, kBaudRate).isOk())
        return VELMOR_ERROR_OPEN_FAILED;
    driver.purge();
    // Another unit than the one started at this index stands there now: it has its own
    // handshake and is judged by its own firmware, as on a first use.
    if (!s_handshakeUnits[deviceIndex].isOf(*device)) {
        s_handshakeDone[deviceIndex] = false;
        s_firmwareVersions[deviceIndex] = VersionNumber();
    }
    if (!s_handshakeDone[deviceIndex]) {
        const int32_t started = runStartUpHandshake(deviceIndex, driver);
        if (started != VELMOR_OK)
            return started;
    }
    const VersionNumber hardware = hardwareVersion(*device);
    if (!s_supportedFirmware.value(hardware).contains(static_cast<qint32>(s_firmwareVersions[deviceIndex].major)))
        return VELMOR_ERROR_FIRMWARE_UNSUPPORTED;
    QThread::msleep(kSettleWaitMs);
    return VELMOR_OK;
}

int32_t LibraryInterface::runStartUpHandshake(int32_t deviceIndex, USBDriver &driver)
{
    if (!Bootloader(0).runStartCommand(driver).isOk())
        return VELMOR_ERROR_START_COMMAND;
    s_handshakeDone[deviceIndex] = true;
    s_handshakeUnits[deviceIndex] = UnitIdentity::of(*driver.device());
    // The firmware needs this long to come up after the start command.
    QThread::msleep(kStartupWaitMs);
    DeviceInformation information;
    if (!Bootloader(0).readDeviceInformation(driver, information).isOk())
        return VELMOR_ERROR_READ_INFORMATION;
    if (!information.valid)
        return VELMOR_ERROR_INFORMATION_INVALID;
    s_firmwareVersions[deviceIndex] = VersionNumber(information.firmwareMajor, information.firmwareMinor);
    return VELMOR_OK;
}

USBResult LibraryInterface::sendRequest(USBDriver &driver, int32_t deviceIndex, qint32 action, const QByteArray &payload,
                                        QByteArray *reply)
{
    auto request = boost::make_shared<VelmorDriverCommRequest>(hardwareVersion(*driver.device()),
                                                               s_firmwareVersions[deviceIndex], action);
    if (!payload.isEmpty())
        request->setPayload(payload);
    USBResult result;
    UnitTurn::exchangeOn(driver, [&] { result = driver.sendRequest(request, 0); });
    if (result.isOk() && reply != nullptr)
        *reply = request->replyData();
    return result;
}

int32_t LibraryInterface::withOpenDevice(int32_t deviceIndex, const OpenBody &body)
{
    if (!LibrarySession::current().initialised)
        return VELMOR_ERROR_NOT_INITIALISED;
    for (;;) {
        QList<USBDevicePtr> devices = listSupportedDevices();
        HeldUnit *pin = pinAt(deviceIndex);
        if (pin == nullptr && listedUnitIsHeldElsewhere(deviceIndex, devices))
            return VELMOR_ERROR_OPEN_FAILED;
        const std::shared_ptr<OpenUnit> shared = liveUnitFor(deviceIndex, pin, devices);
        if (!shared) {
            if (pin != nullptr)
                return withPinnedUnit(deviceIndex, *pin, devices, body);
            CallDriver call;
            const int32_t opened = openListed(deviceIndex, devices, call.driver);
            if (opened != VELMOR_OK)
                return opened;
            return body(call.driver, hardwareVersion(*call.driver.device()));
        }
        const UnitTurn turn(shared);
        // Waiting for the turn let other calls in: go on only if the index still leads to that unit.
        devices = listSupportedDevices();
        HeldUnit *pinNow = pinAt(deviceIndex);
        if (pinNow != pin || (pin == nullptr && listedUnitIsHeldElsewhere(deviceIndex, devices))
            || liveUnitFor(deviceIndex, pinNow, devices) != shared)
            continue;
        if (pin != nullptr)
            return withPinnedUnit(deviceIndex, *pin, devices, body);
        return withSharedUnit(deviceIndex, shared, devices, body);
    }
}

std::shared_ptr<OpenUnit> LibraryInterface::liveUnitFor(int32_t deviceIndex, const HeldUnit *pin,
                                                         const QList<USBDevicePtr> &devices)
{
    if (pin != nullptr)
        return OpenUnit::live(pin->unit());
    if (deviceIndex < 1 || deviceIndex > devices.size() || deviceIndex >= kIndexLimit)
        return nullptr;
    return OpenUnit::live(UnitIdentity::of(*devices.at(deviceIndex - 1)));
}

int32_t LibraryInterface::withPinnedUnit(int32_t deviceIndex, HeldUnit &pin, const QList<USBDevicePtr> &devices,
                                         const OpenBody &body)
{
    if (deviceIndex > devices.size()) {
        pin.close();
        return VELMOR_ERROR_DEVICE_INDEX;
    }
    if (!pin.unit().isOf(*devices.at(deviceIndex - 1))) {
        pin.close();
        return VELMOR_ERROR_OPEN_FAILED;
    }
    // Closed after a failure, or gone and back (D2XX then refuses the old handle): opened anew,
    // or the handle another hold keeps taken.
    std::unique_ptr<UnitTurn> ownTurn;
    if (!purged(pin.openUnit())) {
        pin.close();
        const int32_t opened = attachOpenUnit(deviceIndex, devices, pin);
        if (opened != VELMOR_OK) {
            pin.close();
            return opened;
        }
        if (!UnitTurn::isHeldOn(pin.openUnit().get()))
            ownTurn = std::make_unique<UnitTurn>(pin.openUnit());
    }
    const std::shared_ptr<OpenUnit> unit = pin.openUnit();
    const HeldUnit *const pinned = &pin;
    const int32_t code = runOnOpenUnit(deviceIndex, *unit, body);
    // Another thread of the host may have released the index while the call exchanged with
    // the unit without the library's lock: the pin is touched only while it stands.
    if (unit->isBroken() && pinAt(deviceIndex) == pinned)
        pin.close();
    return code;
}

bool LibraryInterface::purged(const std::shared_ptr<OpenUnit> &unit)
{
    if (!unit)
        return false;
    if (unit->purge())
        return true;
    unit->markBroken();
    return false;
}

int32_t LibraryInterface::attachOpenUnit(int32_t deviceIndex, const QList<USBDevicePtr> &devices, HeldUnit &pin)
{
    const std::shared_ptr<OpenUnit> live = OpenUnit::live(pin.unit());
    if (live && UnitTurn::isHeldOn(live.get()) && purged(live)) {
        pin.attach(live);
        return VELMOR_OK;
    }
    // Nobody else knows the new handle before it is enrolled: it is this call's alone.
    auto unit = std::make_shared<OpenUnit>(pin.unit());
    const int32_t opened = openListed(deviceIndex, devices, unit->driver());
    if (opened != VELMOR_OK)
        return opened;
    unit->setFirmwareVersion(s_firmwareVersions[deviceIndex]);
    OpenUnit::enrol(unit);
    pin.attach(unit);
    return VELMOR_OK;
}

int32_t LibraryInterface::withSharedUnit(int32_t deviceIndex, const std::shared_ptr<OpenUnit> &unit,
                                         const QList<USBDevicePtr> &devices, const OpenBody &body)
{
    if (!purged(unit)) {
        CallDriver call;
        const int32_t opened = openListed(deviceIndex, devices, call.driver);
        if (opened != VELMOR_OK)
            return opened;
        return body(call.driver, hardwareVersion(*call.driver.device()));
    }
    return runOnOpenUnit(deviceIndex, *unit, body);
}

int32_t LibraryInterface::runOnOpenUnit(int32_t deviceIndex, OpenUnit &unit, const OpenBody &body)
{
    // The unit keeps the start-up state it came up with, whichever index it is listed at now.
    s_handshakeDone[deviceIndex] = true;
    s_handshakeUnits[deviceIndex] = unit.unit();
    s_firmwareVersions[deviceIndex] = unit.firmwareVersion();
    const quint64 failedBefore = USBFtdiSocket::failedCallCount();
    USBDriver &driver = unit.driver();
    const int32_t code = body(driver, hardwareVersion(*driver.device()));
    // A D2XX call that failed may have left the handle unusable: the next call opens afresh.
    if (USBFtdiSocket::failedCallCount() != failedBefore)
        unit.markBroken();
    return code;
}

HeldUnit *LibraryInterface::pinAt(int32_t deviceIndex)
{
    return isIndexInRange(deviceIndex) ? LibrarySession::current().pins[size_t(deviceIndex)].get() : nullptr;
}

int32_t LibraryInterface::heldIndexOf(const USBDevice &device, int32_t exceptIndex)
{
    for (int32_t index = 1; index < kIndexLimit; ++index) {
        const HeldUnit *pin = LibrarySession::current().pins[size_t(index)].get();
        if (index != exceptIndex && pin != nullptr && pin->unit().isOf(device))
            return index;
    }
    return 0;
}

bool LibraryInterface::listedUnitIsHeldElsewhere(int32_t deviceIndex, const QList<USBDevicePtr> &devices)
{
    return deviceIndex >= 1 && deviceIndex <= devices.size() && heldIndexOf(*devices.at(deviceIndex - 1), deviceIndex) != 0;
}

int32_t LibraryInterface::listedIndexOf(const UnitIdentity &unit, const QList<USBDevicePtr> &devices)
{
    for (int32_t position = 1; position <= devices.size(); ++position) {
        if (unit.isOf(*devices.at(position - 1)))
            return position;
    }
    return 0;
}

void LibraryInterface::closeOtherHandlesOf(const UnitIdentity &unit, int32_t exceptIndex)
{
    for (int32_t index = 1; index < kIndexLimit; ++index) {
        HeldUnit *pin = LibrarySession::current().pins[size_t(index)].get();
        if (index != exceptIndex && pin != nullptr && pin->unit() == unit)
            pin->close();
    }
}

int32_t LibraryInterface::holdUnit(int32_t deviceIndex)
{
    if (!LibrarySession::current().initialised)
        return VELMOR_ERROR_NOT_INITIALISED;
    if (pinAt(deviceIndex) != nullptr)
        return withOpenDevice(deviceIndex, [](USBDriver &, VersionNumber) { return int32_t(VELMOR_OK); });
    const QList<USBDevicePtr> devices = listSupportedDevices();
    if (listedUnitIsHeldElsewhere(deviceIndex, devices))
        return VELMOR_ERROR_OPEN_FAILED;
    return pinNewHold(deviceIndex, devices);
}

int32_t LibraryInterface::pinNewHold(int32_t deviceIndex, const QList<USBDevicePtr> &devices)
{
    if (deviceIndex < 1 || deviceIndex > devices.size() || deviceIndex >= kIndexLimit)
        return VELMOR_ERROR_DEVICE_INDEX;
    const UnitIdentity unit = UnitIdentity::of(*devices.at(deviceIndex - 1));
    closeOtherHandlesOf(unit, deviceIndex);
    // The pin stands while the unit is opened, so that the call goes the way of any call on a
    // held index; it stays only when the unit opened.
    std::unique_ptr<HeldUnit> &slot = LibrarySession::current().pins[size_t(deviceIndex)];
    slot = std::make_unique<HeldUnit>(unit);
    const HeldUnit *pin = slot.get();
    const int32_t opened = withOpenDevice(deviceIndex, [](USBDriver &, VersionNumber) { return int32_t(VELMOR_OK); });
    std::unique_ptr<HeldUnit> &slotNow = LibrarySession::current().pins[size_t(deviceIndex)];
    if (opened != VELMOR_OK && slotNow.get() == pin)
        slotNow.reset();
    LibrarySession::current().noteHoldsChanged();
    return opened;
}

int32_t LibraryInterface::holdUnitBySerial(const QString &serial, int32_t *deviceIndex)
{
    if (!LibrarySession::current().initialised)
        return VELMOR_ERROR_NOT_INITIALISED;
    const QList<USBDevicePtr> devices = listSupportedDevices();
    int32_t position = 0;
    while (position < devices.size() && !UnitIdentity::serialNames(serial, *devices.at(position)))
        ++position;
    if (position == devices.size())
        return VELMOR_ERROR_SERIAL_NOT_FOUND;
    const int32_t index = position + 1;
    if (index >= kIndexLimit)
        return VELMOR_ERROR_DEVICE_INDEX;
    *deviceIndex = index;
    if (pinAt(index) != nullptr)
        return withOpenDevice(index, [](USBDriver &, VersionNumber) { return int32_t(VELMOR_OK); });
    return pinNewHold(index, devices);
}

int32_t LibraryInterface::whereIsUnit(const QString &serial, int32_t *deviceIndex)
{
    const QList<USBDevicePtr> devices = listSupportedDevices();
    for (int32_t position = 1; position <= devices.size(); ++position) {
        if (!UnitIdentity::serialNames(serial, *devices.at(position - 1)))
            continue;
        if (position >= kIndexLimit)
            return VELMOR_ERROR_DEVICE_INDEX;
        *deviceIndex = position;
        return VELMOR_OK;
    }
    return VELMOR_ERROR_SERIAL_NOT_FOUND;
}

void LibraryInterface::releaseUnit(int32_t deviceIndex)
{
    if (isIndexInRange(deviceIndex))
        LibrarySession::current().pins[size_t(deviceIndex)].reset();
    LibrarySession::current().noteHoldsChanged();
}

void LibraryInterface::releaseAllUnits()
{
    for (std::unique_ptr<HeldUnit> &unit : LibrarySession::current().pins)
        unit.reset();
    LibrarySession::current().noteHoldsChanged();
}

bool LibraryInterface::indexState(int32_t deviceIndex, IndexState &state)
{
    if (!isIndexInRange(deviceIndex))
        return false;
    const QList<USBDevicePtr> devices = listSupportedDevices();
    state = IndexState();
    state.held = pinAt(deviceIndex);
    if (state.held != nullptr)
        state.heldUnitIndex = listedIndexOf(state.held->unit(), devices);
    if (deviceIndex > devices.size())
        return true;
    state.listed = devices.at(deviceIndex - 1);
    state.listedUnitHeldAt = heldIndexOf(*state.listed, deviceIndex);
    const bool openHere = static_cast<bool>(OpenUnit::live(UnitIdentity::of(*state.listed)));
    state.listedOpenElsewhere = state.listed->listedOpen && !openHere;
    return true;
}

int32_t LibraryInterface::readinessGate(const VelmorDriverMotorInfo &information)
{
    switch (information.ready()) {
    case 1: return VELMOR_OK;
    case 0: return VELMOR_ERROR_NOT_READY_OFF;
    case 4: return VELMOR_ERROR_NOT_READY_4;
    case 5: return VELMOR_ERROR_NOT_READY_5;
    case 6: return VELMOR_ERROR_NOT_READY_6;
    default: return VELMOR_ERROR_NOT_READY_OTHER;
    }
}

int32_t LibraryInterface::positionInWholeSteps(const VelmorDriverMotorInfo &information, VersionNumber hardwareVersion)
{
    return static_cast<int32_t>(static_cast<qint64>(information.positionInSteps(hardwareVersion)));
}

bool LibraryInterface::fitsMotorConfigurationLayout(const QByteArray &reply, VersionNumber hardwareVersion,
                                                    VersionNumber firmwareVersion)
{
    const bool longLayout = VelmorDriverMotorConfiguration::usesLongLayout(hardwareVersion, firmwareVersion);
    return reply.size() == (longLayout ? 11 : 10);
}

bool LibraryInterface::hasRelay(VersionNumber hardwareVersion)
{
    return HardwareModel::of(hardwareVersion).hasRelay;
}
