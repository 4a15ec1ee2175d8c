// The companion functions: the library's version, a unit's identity, its motor status and
// settings read back with the records' own decoders, the values its hardware accepts, and held
// units. Each takes the library lock and opens the unit as the exports do.
#include "Bootloader.h"
#include "BrokerRoute.h"
#include "ChipName.h"
#include "FtdiLibraryLoader.h"
#include "LibraryCall.h"
#include "LibraryInterface.h"
#include "ResultWords.h"
#include "ThreadAnnotations.h"
#include "UnitAction.h"
#include "UnitLimits.h"
#include "USBDeviceIdentity.h"
#include "VelmorDriverAdvancedMotorMoveConfiguration.h"
#include "VelmorDriverInputConfiguration.h"
#include "VelmorDriverMotionConfiguration.h"
#include "VelmorDriverMotorConfiguration.h"
#include "VelmorDriverMotorInfo.h"
#include "VelmorDriverPWMSettings.h"
#include "VelmorLibExtras.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace {

using namespace UnitAction;

template <typename Record>
bool isUsable(const Record *record)
{
    return record != nullptr && record->size == sizeof(Record);
}

// Latin-1, cut to fit and always zero-terminated.
template <size_t Capacity>
void copyText(char (&target)[Capacity], const QString &text)
{
    const QByteArray bytes = text.toLatin1().left(int(Capacity) - 1);
    std::memset(target, 0, Capacity);
    std::memcpy(target, bytes.constData(), size_t(bytes.size()));
}

// Bytes as they are (a file name), cut to fit and always zero-terminated.
template <size_t Capacity>
void copyBytes(char (&target)[Capacity], const std::string &bytes)
{
    const size_t length = std::min(bytes.size(), Capacity - 1);
    std::memset(target, 0, Capacity);
    std::memcpy(target, bytes.data(), length);
}

bool read(USBDriver &driver, int32_t deviceIndex, qint32 action, QByteArray &reply)
{
    return LibraryInterface::sendRequest(driver, deviceIndex, action, QByteArray(), &reply).isOk();
}

// Runs `body` on the open unit under the library lock, with the record written only on success.
template <typename Record, typename Body>
int32_t readInto(int32_t deviceIndex, Record *record, int32_t failureCode, Body body)
{
    return guarded(failureCode, [&] {
        if (!isUsable(record))
            return int32_t(VELMOR_ERROR_ARGUMENT);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        Record result = *record;
        const int32_t code = LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
            return body(driver, hardware, result);
        });
        if (code == VELMOR_OK)
            *record = result;
        return code;
    });
}

int32_t readUnitInfo(USBDriver &driver, int32_t deviceIndex, VersionNumber hardware, VelmorUnitInfo &info)
{
    DeviceInformation information;
    if (!Bootloader(0).readDeviceInformation(driver, information).isOk())
        return int32_t(VELMOR_ERROR_READ_INFORMATION);
    if (!information.valid)
        return int32_t(VELMOR_ERROR_INFORMATION_INVALID);
    const USBDevice &device = *driver.device();
    const VersionNumber firmware = LibraryInterface::s_firmwareVersions[deviceIndex];
    copyText(info.serialNumber, device.serialNumber);
    copyText(info.description, device.description);
    info.chipType = device.chipType;
    info.usbId = device.usbId;
    info.locationId = device.locationId;
    info.hardwareMajor = int32_t(hardware.major);
    info.hardwareMinor = int32_t(hardware.minor);
    info.firmwareMajor = int32_t(firmware.major);
    info.firmwareMinor = int32_t(firmware.minor);
    copyText(info.storedSerialNumber, information.serialNumber);
    return int32_t(VELMOR_OK);
}

void fillMotorStatus(const VelmorDriverMotorInfo &information, VersionNumber hardware, VelmorMotorStatus &status)
{
    status.positionInSteps = information.positionInSteps(hardware);
    status.position = LibraryInterface::positionInWholeSteps(information, hardware);
    status.rawPosition = information.position();
    status.stepMode = information.stepMode();
    status.ready = information.ready();
    status.moveGate = LibraryInterface::readinessGate(information);
    status.firstWord = information.firstWord();
    status.flag9 = information.flag9();
    status.flag10 = information.flag10();
    status.flag12 = information.flag12();
    status.flag13 = information.flag13();
}

void fillMotionSettings(const VelmorDriverMotionConfiguration &configuration, VelmorMotionSettings &settings)
{
    using Record = VelmorDriverMotionConfiguration;
    const quint32 tenths = configuration.value(Record::Acceleration).toUInt();
    settings.speed = configuration.value(Record::Speed).toInt();
    settings.alternateSpeed = configuration.value(Record::AlternateSpeed).toInt();
    settings.alternateSpeedEnabled = configuration.value(Record::AlternateSpeedEnabled).toBool() ? 1 : 0;
    settings.stepMode = configuration.value(Record::StepMode).toInt();
    settings.acceleration = int32_t(tenths / 10);
    settings.accelerationTenths = tenths;
    settings.accelerationMode = configuration.value(Record::AccelerationMode).toInt();
}

void fillMotorSettings(const VelmorDriverMotorConfiguration &configuration, VelmorMotorSettings &settings)
{
    using Record = VelmorDriverMotorConfiguration;
    settings.current = configuration.value(Record::Current).toInt();
    settings.currentFlag = configuration.value(Record::CurrentFlag).toBool() ? 1 : 0;
    settings.wordValue = configuration.value(Record::WordValue).toInt();
    settings.byteValue = configuration.value(Record::ByteValue).toInt();
    settings.extendedFlag = configuration.value(Record::ExtendedFlag).toBool() ? 1 : 0;
    settings.scaledValueA = configuration.value(Record::ScaledValueA).toDouble();
    settings.scaledValueB = configuration.value(Record::ScaledValueB).toDouble();
}

void fillMoveSettings(const VelmorDriverAdvancedMotorMoveConfiguration &configuration, VelmorMoveSettings &settings)
{
    using Record = VelmorDriverAdvancedMotorMoveConfiguration;
    settings.backlashEnabled = configuration.value(Record::BacklashEnabled).toBool() ? 1 : 0;
    settings.backlashDirection = configuration.value(Record::BacklashDirection).toInt();
    settings.backlashAmount = configuration.value(Record::BacklashSteps).toInt();
    settings.homeMode = configuration.value(Record::HomeMode).toInt();
    // setHomeSettings writes mode 2 for direction 1 and mode 1 for direction 0.
    settings.homeDirection = settings.homeMode == 2 ? 1 : 0;
    settings.homeFlagA = configuration.value(Record::HomeFlagA).toBool() ? 1 : 0;
    settings.homeFlagB = configuration.value(Record::HomeFlagB).toBool() ? 1 : 0;
    settings.homeValueA = configuration.value(Record::HomeValueA).toInt();
    settings.homeValueB = configuration.value(Record::HomeValueB).toInt();
}

void fillUnitState(const LibraryInterface::IndexState &known, VelmorUnitState &state)
{
    VelmorUnitState result{};
    result.size = state.size;
    result.listed = known.listed ? 1 : 0;
    if (known.listed) {
        copyText(result.serialNumber, known.listed->serialNumber);
        result.openElsewhere = known.listedOpenElsewhere ? 1 : 0;
        result.heldElsewhereAt = known.listedUnitHeldAt;
    }
    if (known.held != nullptr) {
        result.held = 1;
        result.heldOpen = known.held->isOpen() ? 1 : 0;
        result.heldUnitAway = !known.listed || !known.held->unit().isOf(*known.listed) ? 1 : 0;
        copyText(result.heldSerialNumber, known.held->unit().serialNumber());
        result.heldUnitListedAt = known.heldUnitIndex;
    }
    state = result;
}

} // namespace

using BrokerRoute::Arguments;
using BrokerRoute::Out;
using BrokerRoute::Sized;
using BrokerRoute::Text;

extern "C" {

VELMOR_API int32_t VELMOR_CALL velmorGetVersion(int32_t *major, int32_t *minor, int32_t *patch)
{
    if (major == nullptr || minor == nullptr || patch == nullptr)
        return VELMOR_ERROR_ARGUMENT;
    *major = VELMOR_VERSION_MAJOR;
    *minor = VELMOR_VERSION_MINOR;
    *patch = VELMOR_VERSION_PATCH;
    return VELMOR_OK;
}

VELMOR_API const char *VELMOR_CALL velmorResultName(int32_t code)
{
    return ResultWords::name(code);
}

VELMOR_API const char *VELMOR_CALL velmorResultText(int32_t code)
{
    return ResultWords::text(code);
}

VELMOR_API int32_t VELMOR_CALL velmorGetD2xxInfo(VelmorD2xxInfo *info)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetD2xxInfo, VELMOR_ERROR_ARGUMENT, Sized<VelmorD2xxInfo>{info}))
        return *routedCode;
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        if (!isUsable(info))
            return int32_t(VELMOR_ERROR_ARGUMENT);
        const FtdiLibraryLoader &loader = FtdiLibraryLoader::instance();
        VelmorD2xxInfo result = *info;
        result.loaded = loader.isLoaded() ? 1 : 0;
        result.libraryVersion = loader.libraryVersion();
        copyBytes(result.file, loader.isLoaded() ? loader.origin() : std::string());
        copyBytes(result.error, loader.isLoaded() ? std::string() : loader.origin());
        *info = result;
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorGetUnitInfo(int32_t deviceIndex, VelmorUnitInfo *info)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetUnitInfo, VELMOR_ERROR_READ_INFORMATION, deviceIndex, Sized<VelmorUnitInfo>{info}))
        return *routedCode;
    return readInto(deviceIndex, info, VELMOR_ERROR_READ_INFORMATION,
                    [&](USBDriver &driver, VersionNumber hardware, VelmorUnitInfo &result) {
                        return readUnitInfo(driver, deviceIndex, hardware, result);
                    });
}

VELMOR_API int32_t VELMOR_CALL velmorGetMotorStatus(int32_t deviceIndex, VelmorMotorStatus *status)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetMotorStatus, VELMOR_ERROR_READ_FAILED, deviceIndex, Sized<VelmorMotorStatus>{status}))
        return *routedCode;
    return readInto(deviceIndex, status, VELMOR_ERROR_READ_FAILED,
                    [&](USBDriver &driver, VersionNumber hardware, VelmorMotorStatus &result) {
                        QByteArray reply;
                        if (!read(driver, deviceIndex, ReadMotorInformation, reply))
                            return int32_t(VELMOR_ERROR_READ_FAILED);
                        fillMotorStatus(VelmorDriverMotorInfo(reply), hardware, result);
                        return int32_t(VELMOR_OK);
                    });
}

VELMOR_API int32_t VELMOR_CALL velmorReadMotionSettings(int32_t deviceIndex, VelmorMotionSettings *settings)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ReadMotionSettings, VELMOR_ERROR_READ_MOTION_CONFIGURATION, deviceIndex, Sized<VelmorMotionSettings>{settings}))
        return *routedCode;
    return readInto(deviceIndex, settings, VELMOR_ERROR_READ_MOTION_CONFIGURATION,
                    [&](USBDriver &driver, VersionNumber hardware, VelmorMotionSettings &result) {
                        QByteArray reply;
                        if (!read(driver, deviceIndex, ReadMotionConfiguration, reply))
                            return int32_t(VELMOR_ERROR_READ_MOTION_CONFIGURATION);
                        fillMotionSettings(VelmorDriverMotionConfiguration(reply, hardware), result);
                        return int32_t(VELMOR_OK);
                    });
}

VELMOR_API int32_t VELMOR_CALL velmorReadMotorSettings(int32_t deviceIndex, VelmorMotorSettings *settings)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ReadMotorSettings, VELMOR_ERROR_READ_MOTOR_CONFIGURATION, deviceIndex, Sized<VelmorMotorSettings>{settings}))
        return *routedCode;
    return readInto(deviceIndex, settings, VELMOR_ERROR_READ_MOTOR_CONFIGURATION,
                    [&](USBDriver &driver, VersionNumber hardware, VelmorMotorSettings &result) {
                        const VersionNumber firmware = LibraryInterface::s_firmwareVersions[deviceIndex];
                        QByteArray reply;
                        if (!read(driver, deviceIndex, ReadMotorConfiguration, reply)
                            || !LibraryInterface::fitsMotorConfigurationLayout(reply, hardware, firmware))
                            return int32_t(VELMOR_ERROR_READ_MOTOR_CONFIGURATION);
                        fillMotorSettings(VelmorDriverMotorConfiguration(reply, hardware, firmware), result);
                        return int32_t(VELMOR_OK);
                    });
}

VELMOR_API int32_t VELMOR_CALL velmorReadMoveSettings(int32_t deviceIndex, VelmorMoveSettings *settings)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ReadMoveSettings, VELMOR_ERROR_READ_FAILED, deviceIndex, Sized<VelmorMoveSettings>{settings}))
        return *routedCode;
    return readInto(deviceIndex, settings, VELMOR_ERROR_READ_FAILED,
                    [&](USBDriver &driver, VersionNumber, VelmorMoveSettings &result) {
                        QByteArray reply;
                        if (!read(driver, deviceIndex, ReadAdvancedMoveConfiguration, reply))
                            return int32_t(VELMOR_ERROR_READ_FAILED);
                        fillMoveSettings(VelmorDriverAdvancedMotorMoveConfiguration(reply), result);
                        return int32_t(VELMOR_OK);
                    });
}

VELMOR_API int32_t VELMOR_CALL velmorGetLimits(int32_t deviceIndex, VelmorLimits *limits)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetLimits, VELMOR_ERROR_OPEN_FAILED, deviceIndex, Sized<VelmorLimits>{limits}))
        return *routedCode;
    return readInto(deviceIndex, limits, VELMOR_ERROR_OPEN_FAILED, [&](USBDriver &, VersionNumber hardware, VelmorLimits &result) {
        UnitLimits::fill(hardware, result);
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorExplainRefusal(int32_t deviceIndex, const char *function, const int64_t *arguments,
                                                    int32_t argumentCount, char *text, uint32_t capacity)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ExplainRefusal, VELMOR_ERROR_ARGUMENT, deviceIndex, function, Arguments{arguments, argumentCount}, argumentCount, Text{text, capacity}, capacity))
        return *routedCode;
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        if (function == nullptr || text == nullptr || capacity == 0 || argumentCount < 0
            || (arguments == nullptr && argumentCount > 0))
            return int32_t(VELMOR_ERROR_ARGUMENT);
        const std::vector<int64_t> values(arguments, arguments + argumentCount);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        const QList<USBDevicePtr> devices = LibraryInterface::listSupportedDevices();
        if (deviceIndex < 1 || deviceIndex > devices.size() || !LibraryInterface::isIndexInRange(deviceIndex))
            return int32_t(VELMOR_ERROR_DEVICE_INDEX);
        VelmorLimits limits{};
        UnitLimits::fill(hardwareVersion(*devices.at(deviceIndex - 1)), limits);
        const std::optional<std::string> reasons = UnitLimits::refusal(function, values, limits);
        if (!reasons)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        const size_t length = std::min<size_t>(reasons->size(), capacity - 1);
        std::memcpy(text, reasons->data(), length);
        text[length] = '\0';
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API const char *VELMOR_CALL velmorChipName(uint32_t chipType)
{
    return ChipName::of(chipType);
}

VELMOR_API int32_t VELMOR_CALL velmorHoldUnit(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::HoldUnit, VELMOR_ERROR_OPEN_FAILED, deviceIndex)) {
        VelmorUnitState state{};
        state.size = sizeof state;
        if (*routedCode == VELMOR_OK && velmorGetUnitState(deviceIndex, &state) == VELMOR_OK && state.held == 1)
            BrokerClient::noteHeld(deviceIndex, state.heldSerialNumber);
        return *routedCode;
    }
    return guarded(VELMOR_ERROR_OPEN_FAILED, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::holdUnit(deviceIndex);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorReleaseUnit(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ReleaseUnit, VELMOR_ERROR_DEVICE_INDEX, deviceIndex)) {
        BrokerClient::noteReleased(deviceIndex);
        return *routedCode;
    }
    return guarded(VELMOR_ERROR_DEVICE_INDEX, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        if (!LibraryInterface::isIndexInRange(deviceIndex))
            return int32_t(VELMOR_ERROR_DEVICE_INDEX);
        LibraryInterface::releaseUnit(deviceIndex);
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorReleaseAllUnits(void)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ReleaseAllUnits, VELMOR_ERROR_DEVICE_INDEX)) {
        BrokerClient::noteAllReleased();
        return *routedCode;
    }
    return guarded(VELMOR_ERROR_DEVICE_INDEX, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        LibraryInterface::releaseAllUnits();
        return int32_t(VELMOR_OK);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorHoldUnitBySerial(const char *serialNumber, int32_t *deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::HoldUnitBySerial, VELMOR_ERROR_OPEN_FAILED, serialNumber,
                                                    Out<int32_t>{deviceIndex})) {
        if (*routedCode == VELMOR_OK)
            BrokerClient::noteHeld(*deviceIndex, serialNumber);
        return *routedCode;
    }
    return guarded(VELMOR_ERROR_OPEN_FAILED, [&] {
        if (serialNumber == nullptr || deviceIndex == nullptr)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::holdUnitBySerial(QString::fromLatin1(serialNumber), deviceIndex);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorWhereIsUnit(const char *serialNumber, int32_t *deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::WhereIsUnit, VELMOR_ERROR_SERIAL_NOT_FOUND, serialNumber, Out<int32_t>{deviceIndex}))
        return *routedCode;
    return guarded(VELMOR_ERROR_SERIAL_NOT_FOUND, [&] {
        if (serialNumber == nullptr || deviceIndex == nullptr)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::whereIsUnit(QString::fromLatin1(serialNumber), deviceIndex);
    });
}

VELMOR_API int32_t VELMOR_CALL velmorGetUnitState(int32_t deviceIndex, VelmorUnitState *state)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::GetUnitState, VELMOR_ERROR_ARGUMENT, deviceIndex, Sized<VelmorUnitState>{state}))
        return *routedCode;
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        if (!isUsable(state))
            return int32_t(VELMOR_ERROR_ARGUMENT);
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        LibraryInterface::IndexState known;
        if (!LibraryInterface::indexState(deviceIndex, known))
            return int32_t(VELMOR_ERROR_DEVICE_INDEX);
        fillUnitState(known, *state);
        return int32_t(VELMOR_OK);
    });
}

} // extern "C"
