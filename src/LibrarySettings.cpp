// The settings exports: read-modify-write of the unit's configuration records, records built
// from their defaults, and the relay command.
#include "LibraryCall.h"
#include "BrokerRoute.h"
#include "LibraryInterface.h"
#include "ThreadAnnotations.h"
#include "USBDeviceIdentity.h"
#include "VelmorDriverAdvancedMotorMoveConfiguration.h"
#include "VelmorDriverInputConfiguration.h"
#include "VelmorDriverMotionConfiguration.h"
#include "VelmorDriverMotorConfiguration.h"
#include "VelmorDriverPWMSettings.h"
#include "UnitAction.h"
#include "VelmorLib.h"

namespace {

using namespace UnitAction;

constexpr uint32_t kLargestSwitchType = 6;

// A value outside its record field would reach the unit cut to the field's width, where it can
// pass for another valid value and be taken.
bool fitsUnsignedField(qint64 value, int bits)
{
    return LibraryInterface::fitsUnsignedField(value, bits);
}

VersionNumber firmwareOf(int32_t deviceIndex)
{
    return LibraryInterface::s_firmwareVersions[deviceIndex];
}

bool send(USBDriver &driver, int32_t deviceIndex, qint32 action, const QByteArray &payload = QByteArray(),
          QByteArray *reply = nullptr)
{
    return LibraryInterface::sendRequest(driver, deviceIndex, action, payload, reply).isOk();
}

using AdvancedChange = std::function<void(VelmorDriverAdvancedMotorMoveConfiguration &)>;

int32_t changeAdvancedMoveConfiguration(int32_t deviceIndex, int32_t writeFailure, const AdvancedChange &change,
                                        bool valuesFit = true)
{
    return LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber) {
        QByteArray reply;
        if (!send(driver, deviceIndex, ReadAdvancedMoveConfiguration, QByteArray(), &reply))
            return int32_t(VELMOR_ERROR_READ_FAILED);
        if (!valuesFit)
            return writeFailure;
        VelmorDriverAdvancedMotorMoveConfiguration configuration(reply);
        change(configuration);
        return send(driver, deviceIndex, WriteAdvancedMoveConfiguration, configuration.encode()) ? int32_t(VELMOR_OK)
                                                                                                  : writeFailure;
    });
}

// Polarity and action of a limit switch of type 1 to 6.
struct SwitchBehaviour
{
    qint32 polarity;
    qint32 action;
};

SwitchBehaviour switchBehaviour(uint32_t type)
{
    static const SwitchBehaviour kBehaviours[] = {{0, 0}, {1, 0}, {0, 2}, {1, 2}, {0, 1}, {1, 1}};
    return kBehaviours[type - 1];
}

int32_t writeLimitSwitches(USBDriver &driver, int32_t deviceIndex, VersionNumber hardware, int32_t input1,
                           uint32_t type1, int32_t input2, uint32_t type2)
{
    const int32_t channels = VelmorDriverInputConfiguration::channelCount(hardware);
    const auto validInput = [channels](int32_t input) { return input >= 1 && input <= channels; };
    if (!validInput(input1) || !validInput(input2) || type1 > kLargestSwitchType || type2 > kLargestSwitchType)
        return int32_t(VELMOR_ERROR_ARGUMENT);
    QMap<qint32, qint32> functions;
    if (type1 != 0)
        functions.insert(input1, VelmorDriverInputConfiguration::FirstLimitSwitch);
    if (type2 != 0)
        functions.insert(input2, VelmorDriverInputConfiguration::SecondLimitSwitch);
    VelmorDriverInputConfiguration configuration;
    configuration.setChannelFunctions(functions);
    if (type1 != 0) {
        configuration.setValue(VelmorDriverInputConfiguration::Limit1Polarity, switchBehaviour(type1).polarity);
        configuration.setValue(VelmorDriverInputConfiguration::Limit1Action, switchBehaviour(type1).action);
    }
    if (type2 != 0) {
        configuration.setValue(VelmorDriverInputConfiguration::Limit2Polarity, switchBehaviour(type2).polarity);
        configuration.setValue(VelmorDriverInputConfiguration::Limit2Action, switchBehaviour(type2).action);
    }
    const QByteArray payload = configuration.encode(hardware, firmwareOf(deviceIndex));
    return send(driver, deviceIndex, WriteInputConfiguration, payload) ? int32_t(VELMOR_OK)
                                                                       : int32_t(VELMOR_ERROR_WRITE_INPUT_CONFIGURATION);
}

int32_t writePwmSettings(int32_t deviceIndex, qint32 value, qint32 stepMode, int32_t failureCode)
{
    return LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
        // Values above the record's limit are held at it; negative ones would wrap.
        if (value < 0)
            return failureCode;
        VelmorDriverPWMSettings settings;
        settings.setValue(VelmorDriverPWMSettings::PwmValue, value);
        settings.setValue(VelmorDriverPWMSettings::PwmStepMode, stepMode);
        const QByteArray payload = settings.encode(hardware, firmwareOf(deviceIndex));
        return send(driver, deviceIndex, WritePwmSettings, payload) ? int32_t(VELMOR_OK) : failureCode;
    });
}

} // namespace

int32_t LibraryInterface::writeMotionConfigurationValues(int32_t deviceIndex, const QList<qint32> &keys,
                                                         const QList<qint32> &values, bool valuesFit)
{
    return withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
        QByteArray reply;
        if (!send(driver, deviceIndex, ReadMotionConfiguration, QByteArray(), &reply))
            return int32_t(VELMOR_ERROR_READ_MOTION_CONFIGURATION);
        if (!valuesFit)
            return int32_t(VELMOR_ERROR_WRITE_MOTION_CONFIGURATION);
        VelmorDriverMotionConfiguration configuration(reply, hardware);
        for (int i = 0; i < keys.size(); ++i)
            configuration.setValue(keys.at(i), values.at(i));
        return send(driver, deviceIndex, WriteMotionConfiguration, configuration.encode(hardware))
                   ? int32_t(VELMOR_OK) : int32_t(VELMOR_ERROR_WRITE_MOTION_CONFIGURATION);
    });
}

int32_t LibraryInterface::writeMotorConfigurationValues(int32_t deviceIndex, const QList<qint32> &keys,
                                                        const QList<QVariant> &values, bool valuesFit)
{
    return withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
        const VersionNumber firmware = firmwareOf(deviceIndex);
        QByteArray reply;
        if (!send(driver, deviceIndex, ReadMotorConfiguration, QByteArray(), &reply))
            return int32_t(VELMOR_ERROR_READ_MOTOR_CONFIGURATION);
        if (!fitsMotorConfigurationLayout(reply, hardware, firmware))
            return int32_t(VELMOR_ERROR_READ_MOTOR_CONFIGURATION);
        if (!valuesFit)
            return int32_t(VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION);
        VelmorDriverMotorConfiguration configuration(reply, hardware, firmware);
        for (int i = 0; i < keys.size(); ++i)
            configuration.setValue(keys.at(i), values.at(i));
        return send(driver, deviceIndex, WriteMotorConfiguration, configuration.encode(hardware, firmware))
                   ? int32_t(VELMOR_OK) : int32_t(VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION);
    });
}

extern "C" {

VELMOR_API int32_t VELMOR_CALL setMotorSpeed(int32_t deviceIndex, int32_t speed, int32_t stepMode)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetMotorSpeed, VELMOR_ERROR_WRITE_MOTION_CONFIGURATION, deviceIndex, speed, stepMode))
        return *routedCode;
    return guarded(VELMOR_ERROR_WRITE_MOTION_CONFIGURATION, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::writeMotionConfigurationValues(
            deviceIndex,
            {VelmorDriverMotionConfiguration::Speed, VelmorDriverMotionConfiguration::AlternateSpeed,
             VelmorDriverMotionConfiguration::StepMode},
            {speed, speed, stepMode}, fitsUnsignedField(speed, VelmorDriverMotionConfiguration::kSpeedBits)
                          && fitsUnsignedField(stepMode, VelmorDriverMotionConfiguration::kStepModeBits));
    });
}

VELMOR_API int32_t VELMOR_CALL setMotorAcceleration(int32_t deviceIndex, int32_t acceleration)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetMotorAcceleration, VELMOR_ERROR_WRITE_MOTION_CONFIGURATION, deviceIndex, acceleration))
        return *routedCode;
    return guarded(VELMOR_ERROR_WRITE_MOTION_CONFIGURATION, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        // Tenths of a step per second squared, in 32 bits as the record sends them.
        const qint64 tenths = qint64(acceleration) * 10;
        return LibraryInterface::writeMotionConfigurationValues(
            deviceIndex, {VelmorDriverMotionConfiguration::Acceleration, VelmorDriverMotionConfiguration::AccelerationMode},
            {static_cast<qint32>(static_cast<quint32>(tenths)), acceleration != 0 ? 1 : 0}, fitsUnsignedField(tenths, VelmorDriverMotionConfiguration::kAccelerationBits));
    });
}

VELMOR_API int32_t VELMOR_CALL setMotorCurrent(int32_t deviceIndex, int32_t current, uint8_t currentFlag)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetMotorCurrent, VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION, deviceIndex, current, currentFlag))
        return *routedCode;
    return guarded(VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::writeMotorConfigurationValues(
            deviceIndex, {VelmorDriverMotorConfiguration::Current, VelmorDriverMotorConfiguration::CurrentFlag},
            {QVariant(current), QVariant(currentFlag != 0)}, fitsUnsignedField(current, VelmorDriverMotorConfiguration::kCurrentBits));
    });
}

VELMOR_API int32_t VELMOR_CALL setBacklashCompensation(int32_t deviceIndex, uint8_t enabled, uint32_t direction,
                                                       int32_t amount)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetBacklashCompensation, VELMOR_ERROR_WRITE_BACKLASH, deviceIndex, enabled, direction, amount))
        return *routedCode;
    return guarded(VELMOR_ERROR_WRITE_BACKLASH, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        if (direction > 1)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        return changeAdvancedMoveConfiguration(deviceIndex, VELMOR_ERROR_WRITE_BACKLASH, [&](auto &configuration) {
            configuration.setValue(VelmorDriverAdvancedMotorMoveConfiguration::BacklashEnabled, enabled != 0);
            configuration.setValue(VelmorDriverAdvancedMotorMoveConfiguration::BacklashDirection, direction != 0 ? 1 : 0);
            configuration.setValue(VelmorDriverAdvancedMotorMoveConfiguration::BacklashSteps, amount);
        }, fitsUnsignedField(amount, VelmorDriverAdvancedMotorMoveConfiguration::kBacklashStepsBits));
    });
}

VELMOR_API int32_t VELMOR_CALL setHomeSettings(int32_t deviceIndex, uint32_t direction, uint8_t homeFlagB,
                                               uint8_t homeFlagA, uint32_t homeValueA, uint32_t homeValueB)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetHomeSettings, VELMOR_ERROR_WRITE_HOME_SETTINGS, deviceIndex, direction, homeFlagB, homeFlagA, homeValueA, homeValueB))
        return *routedCode;
    return guarded(VELMOR_ERROR_WRITE_HOME_SETTINGS, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        if (direction > 1 || homeValueA > LibraryInterface::kLargestHomeValue || homeValueB > LibraryInterface::kLargestHomeValue)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        // The third parameter goes to key 5 and the fourth to key 4.
        return changeAdvancedMoveConfiguration(deviceIndex, VELMOR_ERROR_WRITE_HOME_SETTINGS, [&](auto &configuration) {
            using Record = VelmorDriverAdvancedMotorMoveConfiguration;
            configuration.setValue(Record::HomeFlagA, homeFlagA != 0);
            configuration.setValue(Record::HomeFlagB, homeFlagB != 0);
            configuration.setValue(Record::HomeMode, direction != 0 ? 2 : 1);
            configuration.setValue(Record::HomeValueA, static_cast<qint32>(homeValueA));
            configuration.setValue(Record::HomeValueB, static_cast<qint32>(homeValueB));
        });
    });
}

VELMOR_API int32_t VELMOR_CALL setLimitSwitches(int32_t deviceIndex, int32_t input1, uint32_t type1, int32_t input2,
                                                uint32_t type2)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetLimitSwitches, VELMOR_ERROR_WRITE_INPUT_CONFIGURATION, deviceIndex, input1, type1, input2, type2))
        return *routedCode;
    return guarded(VELMOR_ERROR_WRITE_INPUT_CONFIGURATION, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
            return writeLimitSwitches(driver, deviceIndex, hardware, input1, type1, input2, type2);
        });
    });
}

VELMOR_API int32_t VELMOR_CALL setPWM(int32_t deviceIndex, int32_t value)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetPWM, VELMOR_ERROR_SET_PWM_FAILED, deviceIndex, value))
        return *routedCode;
    return guarded(VELMOR_ERROR_SET_PWM_FAILED, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return writePwmSettings(deviceIndex, value, 0, VELMOR_ERROR_SET_PWM_FAILED);
    });
}

VELMOR_API int32_t VELMOR_CALL setPWMStepMode(int32_t deviceIndex)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetPWMStepMode, VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED, deviceIndex))
        return *routedCode;
    return guarded(VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return writePwmSettings(deviceIndex, 0, 1, VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED);
    });
}

VELMOR_API int32_t VELMOR_CALL setRelay(int32_t deviceIndex, uint8_t on)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::SetRelay, VELMOR_ERROR_SET_RELAY_FAILED, deviceIndex, on))
        return *routedCode;
    return guarded(VELMOR_ERROR_SET_RELAY_FAILED, [&] {
        AnnotatedMutexLocker locker(&LibraryInterface::s_apiMutex);
        return LibraryInterface::withOpenDevice(deviceIndex, [&](USBDriver &driver, VersionNumber hardware) {
            if (!LibraryInterface::hasRelay(hardware))
                return int32_t(VELMOR_ERROR_NO_RELAY);
            return send(driver, deviceIndex, on ? RelayOn : RelayOff) ? int32_t(VELMOR_OK)
                                                                      : int32_t(VELMOR_ERROR_SET_RELAY_FAILED);
        });
    });
}

} // extern "C"
