#include "LibraryInterface.h"

#include "Bootloader.h"
#include "USBDeviceIdentity.h"
#include "USBFtdiDevice.h"
#include "USBPacketProtocol.h"
#include "VelmorDriverCommRequest.h"
#include "VelmorLib.h"

#include <QThread>
#include <boost/make_shared.hpp>

#include "ThreadAnnotations.h"
#include <exception>

QMutex LibraryInterface::s_apiMutex;
bool LibraryInterface::s_initialised = false;
bool LibraryInterface::s_handshakeDone[LibraryInterface::kIndexLimit] = {};
VersionNumber LibraryInterface::s_firmwareVersions[LibraryInterface::kIndexLimit];
QMap<VersionNumber, QSet<qint32>> LibraryInterface::s_supportedFirmware;

void LibraryInterface::fillSupportedFirmware()
{
    s_supportedFirmware.insert(VersionNumber(1, 1), {2});
    s_supportedFirmware.insert(VersionNumber(1, 2), {2, 3, 4});
    s_supportedFirmware.insert(VersionNumber(10, 1), {1});
    s_supportedFirmware.insert(VersionNumber(27, 1), {1});
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
    if (!s_initialised)
        return VELMOR_ERROR_NOT_INITIALISED;
    const QList<USBDevicePtr> devices = listSupportedDevices();
    if (deviceIndex < 1 || deviceIndex > devices.size() || deviceIndex >= kIndexLimit)
        return VELMOR_ERROR_DEVICE_INDEX;
    if (!driver.open(devices.at(deviceIndex - 1), kBaudRate).isOk())
        return VELMOR_ERROR_OPEN_FAILED;
    driver.purge();
    if (!s_handshakeDone[deviceIndex]) {
        if (!Bootloader(0).runStartCommand(driver).isOk())
            return VELMOR_ERROR_START_COMMAND;
        s_handshakeDone[deviceIndex] = true;
        // The firmware needs this long to come up after the start command.
        QThread::msleep(kStartupWaitMs);
        DeviceInformation information;
        if (!Bootloader(0).readDeviceInformation(driver, information).isOk())
            return VELMOR_ERROR_READ_INFORMATION;
        if (!information.valid)
            return VELMOR_ERROR_INFORMATION_INVALID;
        s_firmwareVersions[deviceIndex] = VersionNumber(information.firmwareMajor, information.firmwareMinor);
    }
    const VersionNumber hardware = hardwareVersion(*driver.device());
    if (!s_supportedFirmware.value(hardware).contains(static_cast<qint32>(s_firmwareVersions[deviceIndex].major)))
        return VELMOR_ERROR_FIRMWARE_UNSUPPORTED;
    QThread::msleep(kSettleWaitMs);
    return VELMOR_OK;
}

USBResult LibraryInterface::sendRequest(USBDriver &driver, int32_t deviceIndex, qint32 action, const QByteArray &payload,
                                        QByteArray *reply)
{
    auto request = boost::make_shared<VelmorDriverCommRequest>(hardwareVersion(*driver.device()),
                                                               s_firmwareVersions[deviceIndex], action);
    if (!payload.isEmpty())
        request->setPayload(payload);
    const USBResult result = driver.sendRequest(request, 0);
    if (result.isOk() && reply != nullptr)
        *reply = request->replyData();
    return result;
}

namespace {

// The per-call engine and driver; the driver holds the only reference to the engine, and
// destroying it closes whatever unit is open.
struct CallDriver
{
    USBDriver driver{USBIProtocolPtr(new USBPacketProtocol)};
};

// A motor call that sends one action without payload.
int32_t simpleCommand(int32_t deviceIndex, qint32 action, int32_t failureCode)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    CallDriver call;
    const int32_t opened = LibraryInterface::openDevice(deviceIndex, call.driver);
    if (opened != VELMOR_OK)
        return opened;
    return LibraryInterface::sendRequest(call.driver, deviceIndex, action).isOk() ? int32_t(VELMOR_OK) : failureCode;
}

int32_t findDeviceIndex(const char *serialNumber, int32_t *index)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    CallDriver call;
    *index = -1;
    const QString wanted = QString::fromLatin1(serialNumber != nullptr ? serialNumber : "").toLower();
    const int count = LibraryInterface::listSupportedDevices().size();
    for (int32_t position = 1; position <= count; ++position) {
        if (LibraryInterface::openDevice(position, call.driver) != VELMOR_OK) {
            call.driver.close();
            continue;
        }
        DeviceInformation information;
        const bool read = Bootloader(0).readDeviceInformation(call.driver, information).isOk();
        call.driver.close();
        if (read && information.valid && information.serialNumber.toLower() == wanted) {
            *index = position;
            return VELMOR_OK;
        }
    }
    return VELMOR_ERROR_SERIAL_NOT_FOUND;
}

// Nothing thrown may cross the C boundary; a failure the library did not foresee (memory
// exhausted, say) ends the call with the export's own failure code.
template <typename Body>
int32_t guarded(int32_t failureCode, Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failureCode;
    }
}

} // namespace

extern "C" {

VELMOR_API int32_t VELMOR_CALL initialise(void)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    for (bool &done : LibraryInterface::s_handshakeDone)
        done = false;
    LibraryInterface::s_initialised = true;
    return VELMOR_OK;
}

VELMOR_API int32_t VELMOR_CALL getDeviceCount(int32_t *count)
{
    return guarded(VELMOR_ERROR_OPEN_FAILED, [&] {
        if (count == nullptr)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        *count = static_cast<int32_t>(LibraryInterface::listSupportedDevices().size());
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL getDeviceIndex(const char *serialNumber, int32_t *index)
{
    if (index == nullptr)
        return VELMOR_ERROR_ARGUMENT;
    return guarded(VELMOR_ERROR_SERIAL_NOT_FOUND, [&] { return findDeviceIndex(serialNumber, index); });
}

VELMOR_API int32_t VELMOR_CALL motorOn(int32_t deviceIndex)
{
    return guarded(VELMOR_ERROR_MOTOR_ON_FAILED, [&] { return simpleCommand(deviceIndex, 7, VELMOR_ERROR_MOTOR_ON_FAILED); });
}

VELMOR_API int32_t VELMOR_CALL motorOff(int32_t deviceIndex)
{
    return guarded(VELMOR_ERROR_MOTOR_OFF_FAILED, [&] { return simpleCommand(deviceIndex, 8, VELMOR_ERROR_MOTOR_OFF_FAILED); });
}

VELMOR_API int32_t VELMOR_CALL stopMotor(int32_t deviceIndex)
{
    return guarded(VELMOR_ERROR_STOP_FAILED, [&] { return simpleCommand(deviceIndex, 9, VELMOR_ERROR_STOP_FAILED); });
}

VELMOR_API int32_t VELMOR_CALL zeroMotorPosition(int32_t deviceIndex)
{
    return guarded(VELMOR_ERROR_ZERO_FAILED, [&] { return simpleCommand(deviceIndex, 16, VELMOR_ERROR_ZERO_FAILED); });
}

} // extern "C"
