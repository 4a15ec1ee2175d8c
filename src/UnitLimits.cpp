#include "UnitLimits.h"

#include "HardwareModel.h"
#include "LibraryInterface.h"
#include "VelmorDriverAdvancedMotorMoveConfiguration.h"
#include "VelmorDriverInputConfiguration.h"
#include "VelmorDriverMotionConfiguration.h"
#include "VelmorDriverMotorConfiguration.h"
#include "VelmorDriverPWMSettings.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <map>

namespace {

int32_t clampedToInt32(qint64 value)
{
    return int32_t(std::min<qint64>(value, std::numeric_limits<int32_t>::max()));
}

std::string text(int64_t value)
{
    return std::to_string(value);
}

using Reasons = std::vector<std::string>;
using Arguments = std::vector<int64_t>;

std::string ofThisUnit(const VelmorLimits &limits)
{
    return " of this unit (hardware " + text(limits.hardwareMajor) + "." + text(limits.hardwareMinor) + ")";
}

void current(const Arguments &arguments, const VelmorLimits &limits, Reasons &reasons)
{
    const int64_t milliamperes = arguments[0];
    if (milliamperes > limits.maximumCurrent)
        reasons.push_back(text(milliamperes) + " mA is above the " + text(limits.maximumCurrent) + " mA maximum"
                          + ofThisUnit(limits));
    else if (milliamperes < limits.minimumCurrent)
        reasons.push_back(text(milliamperes) + " mA is below the " + text(limits.minimumCurrent) + " mA minimum"
                          + ofThisUnit(limits));
}

void stepRate(int64_t speed, int64_t stepMode, const VelmorLimits &limits, Reasons &reasons)
{
    // A speed below 2^31 times 2^31 still fits in 64 bits; any larger step mode is over every maximum.
    const bool rateFits = stepMode < 32;
    const int64_t rate = rateFits ? speed * (int64_t(1) << stepMode) : 0;
    if (!rateFits || rate > limits.maximumStepRate)
        reasons.push_back(text(speed) + " steps/s at step mode " + text(stepMode) + " is a step rate "
                          + (rateFits ? "of " + text(rate) + " steps/s, above" : "far above") + " the "
                          + text(limits.maximumStepRate) + " steps/s maximum" + ofThisUnit(limits));
}

void speed(const Arguments &arguments, const VelmorLimits &limits, Reasons &reasons)
{
    const int64_t speed = arguments[0];
    const int64_t stepMode = arguments[1];
    if (speed < 0)
        reasons.push_back("a speed of " + text(speed) + " steps/s is below 0");
    else if (speed > limits.largestSpeed)
        reasons.push_back(text(speed) + " steps/s is above the largest speed" + ofThisUnit(limits) + ", "
                          + text(limits.largestSpeed) + " steps/s");
    if (stepMode < 0 || stepMode > limits.largestStepMode) {
        reasons.push_back("step mode " + text(stepMode) + " is outside the 0 to " + text(limits.largestStepMode)
                          + ofThisUnit(limits));
        return;
    }
    if (speed > 0)
        stepRate(speed, stepMode, limits, reasons);
}

void acceleration(const Arguments &arguments, const VelmorLimits &limits, Reasons &reasons)
{
    const int64_t acceleration = arguments[0];
    if (acceleration < 0)
        reasons.push_back("an acceleration of " + text(acceleration) + " steps/s^2 is below 0");
    else if (acceleration > limits.largestAcceleration)
        reasons.push_back(text(acceleration) + " steps/s^2 is above the largest acceleration" + ofThisUnit(limits)
                          + ", " + text(limits.largestAcceleration) + " steps/s^2");
}

void direction(int64_t value, Reasons &reasons)
{
    if (value > 1 || value < 0)
        reasons.push_back("direction " + text(value) + " is neither 0 nor 1");
}

void backlash(const Arguments &arguments, const VelmorLimits &limits, Reasons &reasons)
{
    direction(arguments[1], reasons);
    const int64_t amount = arguments[2];
    if (amount < 0 || amount > limits.largestBacklashAmount)
        reasons.push_back("a backlash of " + text(amount) + " steps is outside the 0 to "
                          + text(limits.largestBacklashAmount) + ofThisUnit(limits));
}

void homeSettings(const Arguments &arguments, const VelmorLimits &limits, Reasons &reasons)
{
    direction(arguments[0], reasons);
    for (size_t argument : {size_t(3), size_t(4)}) {
        const std::string name = std::string("home value ") + (argument == 3 ? "A " : "B ") + text(arguments[argument]);
        if (arguments[argument] > limits.largestHomeValue)
            reasons.push_back(name + " is above the " + text(limits.largestHomeValue) + " maximum");
        else if (arguments[argument] < 0)
            reasons.push_back(name + " is below 0");
    }
}

void limitSwitches(const Arguments &arguments, const VelmorLimits &limits, Reasons &reasons)
{
    for (size_t argument : {size_t(0), size_t(2)}) {
        const int64_t input = arguments[argument];
        if (input < 1 || input > limits.inputChannels)
            reasons.push_back("input " + text(input) + " is outside the inputs 1 to " + text(limits.inputChannels)
                              + ofThisUnit(limits));
    }
}

void pwm(const Arguments &arguments, const VelmorLimits &, Reasons &reasons)
{
    if (arguments[0] < 0)
        reasons.push_back("a PWM value of " + text(arguments[0]) + " is below 0");
}

struct SettingsExport
{
    size_t arity;
    std::function<void(const Arguments &, const VelmorLimits &, Reasons &)> reasons;
};

const std::map<std::string, SettingsExport> &settingsExports()
{
    static const std::map<std::string, SettingsExport> exports{
        {"setMotorCurrent", {2, current}},
        {"setMotorSpeed", {2, speed}},
        {"setMotorAcceleration", {1, acceleration}},
        {"setBacklashCompensation", {3, backlash}},
        {"setHomeSettings", {5, homeSettings}},
        {"setLimitSwitches", {4, limitSwitches}},
        {"setPWM", {1, pwm}},
    };
    return exports;
}

} // namespace

void UnitLimits::fill(VersionNumber hardware, VelmorLimits &limits)
{
    using Motion = VelmorDriverMotionConfiguration;
    limits.hardwareMajor = int32_t(hardware.major);
    limits.hardwareMinor = int32_t(hardware.minor);
    limits.minimumCurrent = VelmorDriverMotorConfiguration::minimumCurrent();
    limits.maximumCurrent = VelmorDriverMotorConfiguration::maximumCurrent(hardware);
    limits.maximumStepRate = Motion::maximumStepRate(hardware);
    limits.largestSpeed = clampedToInt32(LibraryInterface::largestInField(Motion::kSpeedBits));
    limits.largestStepMode = clampedToInt32(LibraryInterface::largestInField(Motion::kStepModeBits));
    // setMotorAcceleration sends tenths.
    limits.largestAcceleration = clampedToInt32(LibraryInterface::largestInField(Motion::kAccelerationBits) / 10);
    limits.largestBacklashAmount =
        clampedToInt32(LibraryInterface::largestInField(VelmorDriverAdvancedMotorMoveConfiguration::kBacklashStepsBits));
    limits.largestHomeValue = int32_t(LibraryInterface::kLargestHomeValue);
    limits.inputChannels = VelmorDriverInputConfiguration::channelCount(hardware);
    limits.hasRelay = HardwareModel::of(hardware).hasRelay ? 1 : 0;
    limits.pwmLimit = VelmorDriverPWMSettings().value(VelmorDriverPWMSettings::PwmLimit).toInt();
}

std::optional<std::string> UnitLimits::refusal(const std::string &function, const std::vector<int64_t> &arguments,
                                               const VelmorLimits &limits)
{
    const auto found = settingsExports().find(function);
    if (found == settingsExports().end() || arguments.size() != found->second.arity)
        return std::nullopt;
    Reasons reasons;
    found->second.reasons(arguments, limits, reasons);
    std::string joined;
    for (const std::string &reason : reasons)
        joined += (joined.empty() ? "" : "; ") + reason;
    return joined;
}
