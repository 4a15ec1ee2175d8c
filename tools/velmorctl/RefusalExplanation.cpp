#include "RefusalExplanation.h"

namespace {

std::string text(int64_t value)
{
    return std::to_string(value);
}

} // namespace

RefusalExplanation::RefusalExplanation(const Invocation &invocation, const VelmorLimits &limits)
    : m_invocation(invocation), m_limits(limits)
{
}

std::string RefusalExplanation::text() const
{
    std::vector<std::string> reasons;
    switch (m_invocation.spec->id) {
    case CommandId::Current: current(reasons); break;
    case CommandId::Speed: speed(reasons); break;
    case CommandId::Accel: acceleration(reasons); break;
    case CommandId::Backlash: backlash(reasons); break;
    case CommandId::HomeSettings: homeSettings(reasons); break;
    case CommandId::Limits: limitSwitches(reasons); break;
    case CommandId::Pwm: pwm(reasons); break;
    default: break;
    }
    std::string joined;
    for (const std::string &reason : reasons)
        joined += (joined.empty() ? "" : "; ") + reason;
    return joined;
}

std::string RefusalExplanation::ofThisUnit() const
{
    return " of this unit (hardware " + ::text(m_limits.hardwareMajor) + "." + ::text(m_limits.hardwareMinor) + ")";
}

void RefusalExplanation::current(std::vector<std::string> &reasons) const
{
    const int64_t milliamperes = value(0);
    if (milliamperes > m_limits.maximumCurrent)
        reasons.push_back(::text(milliamperes) + " mA is above the " + ::text(m_limits.maximumCurrent) + " mA maximum"
                          + ofThisUnit());
    else if (milliamperes < m_limits.minimumCurrent)
        reasons.push_back(::text(milliamperes) + " mA is below the " + ::text(m_limits.minimumCurrent) + " mA minimum"
                          + ofThisUnit());
}

void RefusalExplanation::speed(std::vector<std::string> &reasons) const
{
    const int64_t speed = value(0);
    const int64_t stepMode = value(1);
    if (speed < 0)
        reasons.push_back("a speed of " + ::text(speed) + " steps/s is below 0");
    else if (speed > m_limits.largestSpeed)
        reasons.push_back(::text(speed) + " steps/s is above the largest speed" + ofThisUnit() + ", "
                          + ::text(m_limits.largestSpeed) + " steps/s");
    if (stepMode < 0 || stepMode > m_limits.largestStepMode) {
        reasons.push_back("step mode " + ::text(stepMode) + " is outside the 0 to " + ::text(m_limits.largestStepMode)
                          + ofThisUnit());
        return;
    }
    if (speed <= 0)
        return;
    // A speed below 2^31 times 2^31 still fits in 64 bits; any larger step mode is over every maximum.
    const bool rateFits = stepMode < 32;
    const int64_t rate = rateFits ? speed * (int64_t(1) << stepMode) : 0;
    if (!rateFits || rate > m_limits.maximumStepRate)
        reasons.push_back(::text(speed) + " steps/s at step mode " + ::text(stepMode) + " is a step rate "
                          + (rateFits ? "of " + ::text(rate) + " steps/s, above" : "far above") + " the "
                          + ::text(m_limits.maximumStepRate) + " steps/s maximum" + ofThisUnit());
}

void RefusalExplanation::acceleration(std::vector<std::string> &reasons) const
{
    const int64_t acceleration = value(0);
    if (acceleration < 0)
        reasons.push_back("an acceleration of " + ::text(acceleration) + " steps/s^2 is below 0");
    else if (acceleration > m_limits.largestAcceleration)
        reasons.push_back(::text(acceleration) + " steps/s^2 is above the largest acceleration" + ofThisUnit() + ", "
                          + ::text(m_limits.largestAcceleration) + " steps/s^2");
}

void RefusalExplanation::direction(int64_t value, std::vector<std::string> &reasons) const
{
    if (value > 1)
        reasons.push_back("direction " + ::text(value) + " is neither 0 nor 1");
}

void RefusalExplanation::backlash(std::vector<std::string> &reasons) const
{
    direction(value(1), reasons);
    const int64_t amount = value(2);
    if (amount < 0 || amount > m_limits.largestBacklashAmount)
        reasons.push_back("a backlash of " + ::text(amount) + " steps is outside the 0 to "
                          + ::text(m_limits.largestBacklashAmount) + ofThisUnit());
}

void RefusalExplanation::homeSettings(std::vector<std::string> &reasons) const
{
    direction(value(0), reasons);
    for (size_t argument : {size_t(3), size_t(4)}) {
        if (value(argument) > m_limits.largestHomeValue)
            reasons.push_back(std::string("home value ") + (argument == 3 ? "A " : "B ") + ::text(value(argument))
                              + " is above the " + ::text(m_limits.largestHomeValue) + " maximum");
    }
}

void RefusalExplanation::limitSwitches(std::vector<std::string> &reasons) const
{
    for (size_t argument : {size_t(0), size_t(2)}) {
        const int64_t input = value(argument);
        if (input < 1 || input > m_limits.inputChannels)
            reasons.push_back("input " + ::text(input) + " is outside the inputs 1 to "
                              + ::text(m_limits.inputChannels) + ofThisUnit());
    }
}

void RefusalExplanation::pwm(std::vector<std::string> &reasons) const
{
    if (value(0) < 0)
        reasons.push_back("a PWM value of " + ::text(value(0)) + " is below 0");
}
