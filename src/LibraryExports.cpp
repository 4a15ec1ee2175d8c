// The exports of the unit's motion and status: initialise, the listing and lookup, motor on and
// off, stop, zero, the moves, the position and the readiness. The settings are in
// LibrarySettings.cpp, the companion functions in LibraryExtras.cpp.
#include "Bootloader.h"
#include "BrokerRoute.h"
#include "LibraryCall.h"
#include "LibraryInterface.h"
#include "LibrarySession.h"
#include "ProfileStore.h"
#include "ThreadAnnotations.h"
#include "UnitAction.h"
#include "VelmorDriverMotionConfiguration.h"
#include "VelmorDriverMotorInfo.h"
#include "VelmorLib.h"

#include <functional>

namespace {

// A motor call that sends one action without payload.
int32_t simpleCommand(int32_t deviceIndex, qint32 action, int32_t failureCode)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    return LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber) {
        return LibraryInterface::sendRequest(driver, deviceIndex, action).isOk() ? int32_t(VELMOR_OK) : failureCode;
    });
}

// Reads the unit's motor information; false when the request failed.
bool readMotorInformation(USBDriver &driver, int32_t deviceIndex, QByteArray *reply)
{
    return LibraryInterface::sendRequest(driver, deviceIndex, UnitAction::ReadMotorInformation, QByteArray(), reply).isOk();
}

// Truncation toward zero of a value that fits in 64 bits (positions in full steps always do).
qint64 truncated(double value)
{
    return static_cast<qint64>(value);
}

using MotionBody = std::function<int32_t(USBDriver &, int32_t deviceIndex, VersionNumber hardware,
                                         const VelmorDriverMotorInfo &)>;

// The frame of the calls that read the motor information first.
int32_t withMotorInformation(int32_t deviceIndex, const MotionBody &body)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    return LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
        QByteArray reply;
        if (!readMotorInformation(driver, deviceIndex, &reply))
            return int32_t(VELMOR_ERROR_READ_FAILED);
        return body(driver, deviceIndex, hardware, VelmorDriverMotorInfo(reply));
    });
}

// The move calls: the readiness gate, then the move the displacement (in full steps) asks for.
int32_t moveBy(USBDriver &driver, int32_t deviceIndex, VersionNumber hardware, qint64 displacement)
{
    const QByteArray order = VelmorDriverMoveOrder::relative(displacement).encode(hardware);
    return LibraryInterface::sendRequest(driver, deviceIndex, UnitAction::Move, order).isOk() ? int32_t(VELMOR_OK)
                                                                                        : int32_t(VELMOR_ERROR_MOVE_FAILED);
}

// A move whose target lies beyond the travel limits of the unit's loaded profile.
bool beyondTravel(const USBDriver &driver, double current, double target)
{
    const std::optional<UnitProfile> profile = ProfileStore::instance().profileOf(driver.device()->serialNumber);
    return profile && !profile->allowsMove(current, target);
}

int32_t findDeviceIndex(const char *serialNumber, int32_t *index)
{
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    *index = -1;
    const QString wanted = QString::fromLatin1(serialNumber != nullptr ? serialNumber : "").toLower();
    const int count = LibraryInterface::listSupportedDevices().size();
    for (int32_t position = 1; position <= count; ++position) {
        DeviceInformation information;
        bool read = false;
        const int32_t opened = LibraryInterface::withOpenDevice(position, [&](USBDriver &driver, VersionNumber) {
            read = Bootloader(0).readDeviceInformation(driver, information).isOk();
            return int32_t(VELMOR_OK);
        });
        if (opened == VELMOR_OK && read && information.valid && information.serialNumber.toLower() == wanted) {
            *index = position;
            return VELMOR_OK;
        }
    }
    return VELMOR_ERROR_SERIAL_NOT_FOUND;
}

} // namespace

using BrokerRoute::Out;

extern "C" {

VELMOR_API int32_t VELMOR_CALL initialise(void)
{
    BrokerClient::noteInitialised();
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::Initialise, VELMOR_OK))
        return *routedCode;
    AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
    LibraryInterface::releaseAllUnits();
    for (bool &done : LibraryInterface::s_handshakeDone)
        done = false;
    LibrarySession::current().initialised = true;
    return VELMOR_OK;
}

VELMOR_API int32_t VELMOR_CALL getDeviceCount(int32_t *count)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetDeviceCount, VELMOR_ERROR_OPEN_FAILED, Out<int32_t>{count}))
        return *routedCode;
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
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetDeviceIndex, VELMOR_ERROR_SERIAL_NOT_FOUND, serialNumber, Out<int32_t>{index}))
        return *routedCode;
    if (index == nullptr)
        return VELMOR_ERROR_ARGUMENT;
    return guarded(VELMOR_ERROR_SERIAL_NOT_FOUND, [&] { return findDeviceIndex(serialNumber, index); });
}

VELMOR_API int32_t VELMOR_CALL motorOn(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::MotorOn, VELMOR_ERROR_MOTOR_ON_FAILED, deviceIndex))
        return *routedCode;
    return guarded(VELMOR_ERROR_MOTOR_ON_FAILED, [&] { return simpleCommand(deviceIndex, UnitAction::MotorOn, VELMOR_ERROR_MOTOR_ON_FAILED); });
}

VELMOR_API int32_t VELMOR_CALL motorOff(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::MotorOff, VELMOR_ERROR_MOTOR_OFF_FAILED, deviceIndex))
        return *routedCode;
    return guarded(VELMOR_ERROR_MOTOR_OFF_FAILED, [&] { return simpleCommand(deviceIndex, UnitAction::MotorOff, VELMOR_ERROR_MOTOR_OFF_FAILED); });
}

VELMOR_API int32_t VELMOR_CALL stopMotor(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::StopMotor, VELMOR_ERROR_STOP_FAILED, deviceIndex))
        return *routedCode;
    return guarded(VELMOR_ERROR_STOP_FAILED, [&] {
        const LibrarySession::UrgentCall urgent;
        return simpleCommand(deviceIndex, UnitAction::Stop, VELMOR_ERROR_STOP_FAILED);
    });
}

VELMOR_API int32_t VELMOR_CALL zeroMotorPosition(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ZeroMotorPosition, VELMOR_ERROR_ZERO_FAILED, deviceIndex))
        return *routedCode;
    return guarded(VELMOR_ERROR_ZERO_FAILED, [&] { return simpleCommand(deviceIndex, UnitAction::ZeroPosition, VELMOR_ERROR_ZERO_FAILED); });
}

VELMOR_API int32_t VELMOR_CALL getAbsolutePosition(int32_t deviceIndex, int32_t *position)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetAbsolutePosition, VELMOR_ERROR_READ_FAILED, deviceIndex, Out<int32_t>{position}))
        return *routedCode;
    if (position == nullptr)
        return VELMOR_ERROR_ARGUMENT;
    return guarded(VELMOR_ERROR_READ_FAILED, [&] {
        return withMotorInformation(deviceIndex, [&](USBDriver &, int32_t, VersionNumber hardware,
                                                     const VelmorDriverMotorInfo &information) {
            *position = LibraryInterface::positionInWholeSteps(information, hardware);
            return int32_t(VELMOR_OK);
        });
    });
}

VELMOR_API int32_t VELMOR_CALL isMotorReady(int32_t deviceIndex, uint8_t *ready)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::IsMotorReady, VELMOR_ERROR_READ_FAILED, deviceIndex, Out<uint8_t>{ready}))
        return *routedCode;
    if (ready == nullptr)
        return VELMOR_ERROR_ARGUMENT;
    return guarded(VELMOR_ERROR_READ_FAILED, [&] {
        return withMotorInformation(deviceIndex,
                                    [&](USBDriver &, int32_t, VersionNumber, const VelmorDriverMotorInfo &information) {
                                        *ready = information.isReady() ? 1 : 0;
                                        return int32_t(VELMOR_OK);
                                    });
    });
}

VELMOR_API int32_t VELMOR_CALL moveMotorAbsolute(int32_t deviceIndex, int32_t position)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::MoveMotorAbsolute, VELMOR_ERROR_MOVE_FAILED, deviceIndex, position))
        return *routedCode;
    return guarded(VELMOR_ERROR_MOVE_FAILED, [&] {
        return withMotorInformation(deviceIndex, [&](USBDriver &driver, int32_t index, VersionNumber hardware,
                                                     const VelmorDriverMotorInfo &information) {
            const double current = information.positionInSteps(hardware);
            if (beyondTravel(driver, current, double(position)))
                return int32_t(VELMOR_ERROR_ARGUMENT);
            const int32_t gate = LibraryInterface::readinessGate(information);
            if (gate != VELMOR_OK)
                return gate;
            // In 64 bits: the distance between two 32-bit positions can exceed 32 signed bits.
            const qint64 delta = truncated(double(position) - current);
            return delta == 0 ? int32_t(VELMOR_OK) : moveBy(driver, index, hardware, delta);
        });
    });
}

VELMOR_API int32_t VELMOR_CALL moveMotorRelative(int32_t deviceIndex, int32_t steps)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::MoveMotorRelative, VELMOR_ERROR_MOVE_FAILED, deviceIndex, steps))
        return *routedCode;
    return guarded(VELMOR_ERROR_MOVE_FAILED, [&] {
        if (steps == 0) {
            AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
            return int32_t(VELMOR_OK);
        }
        return withMotorInformation(deviceIndex, [&](USBDriver &driver, int32_t index, VersionNumber hardware,
                                                     const VelmorDriverMotorInfo &information) {
            const double current = information.positionInSteps(hardware);
            if (beyondTravel(driver, current, current + double(steps)))
                return int32_t(VELMOR_ERROR_ARGUMENT);
            const int32_t gate = LibraryInterface::readinessGate(information);
            return gate != VELMOR_OK ? gate : moveBy(driver, index, hardware, steps);
        });
    });
}

VELMOR_API int32_t VELMOR_CALL moveMotorHome(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::MoveMotorHome, VELMOR_ERROR_MOVE_FAILED, deviceIndex))
        return *routedCode;
    return guarded(VELMOR_ERROR_MOVE_FAILED, [&] {
        return withMotorInformation(deviceIndex, [&](USBDriver &driver, int32_t index, VersionNumber,
                                                     const VelmorDriverMotorInfo &information) {
            const int32_t gate = LibraryInterface::readinessGate(information);
            if (gate != VELMOR_OK)
                return gate;
            return LibraryInterface::sendRequest(driver, index, UnitAction::MoveHome).isOk() ? int32_t(VELMOR_OK)
                                                                                        : int32_t(VELMOR_ERROR_MOVE_FAILED);
        });
    });
}

} // extern "C"
