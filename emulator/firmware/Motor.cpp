#include "Motor.h"

#include "MoveProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velmor_firmware {

namespace {
constexpr double s_slowestSpeed = 1.0;
} // namespace

Motor::Motor(uint8_t fullStepMode)
    : m_fullStepMode(fullStepMode)
{
}

void Motor::switchOff(TimePoint now)
{
    stop(now);
    m_on = false;
}

bool Motor::isMovingAt(TimePoint now) const
{
    if (!m_moveStarted || m_origin == m_target)
        return false;
    const MoveProfile profile(moveDistanceInSteps(), std::max(m_motion.speed, s_slowestSpeed), m_motion.acceleration);
    return secondsSinceMoveStart(now) < profile.duration();
}

int32_t Motor::positionAt(TimePoint now) const
{
    if (!isMovingAt(now))
        return m_moveStarted ? m_target : m_origin;
    const MoveProfile profile(moveDistanceInSteps(), std::max(m_motion.speed, s_slowestSpeed), m_motion.acceleration);
    const int64_t total = std::llabs(static_cast<int64_t>(m_target) - m_origin);
    const int64_t counted = std::min<int64_t>(total, static_cast<int64_t>(std::floor(profile.distanceAt(secondsSinceMoveStart(now)) * countsPerStep())));
    return static_cast<int32_t>(m_target > m_origin ? m_origin + counted : m_origin - counted);
}

uint8_t Motor::readyByteAt(TimePoint now) const
{
    if (m_forcedReadyByte)
        return *m_forcedReadyByte;
    if (!m_on)
        return Off;
    return isMovingAt(now) ? Moving : Ready;
}

void Motor::moveBy(int64_t fullSteps, TimePoint now)
{
    restartFrom(now);
    moveTo(saturated(static_cast<double>(m_origin) + static_cast<double>(fullSteps) * countsPerStep()), now);
}

void Motor::moveTo(int32_t counter, TimePoint now)
{
    restartFrom(now);
    m_target = counter;
    m_moveStarted = m_origin != m_target;
}

void Motor::stop(TimePoint now)
{
    m_origin = positionAt(now);
    m_target = m_origin;
    m_moveStarted = false;
}

void Motor::setPosition(int32_t counter, TimePoint now)
{
    stop(now);
    m_origin = m_target = counter;
}

void Motor::setStepMode(uint8_t stepMode, bool keepSteps, TimePoint now)
{
    restartFrom(now);
    if (keepSteps) {
        const double scale = countsPerStep(stepMode) / countsPerStep(m_stepMode);
        m_origin = saturated(std::trunc(m_origin * scale));
        m_target = saturated(std::trunc(m_target * scale));
        m_moveStarted = m_moveStarted && m_origin != m_target;
    }
    m_stepMode = stepMode;
}

void Motor::setMotion(const Motion &motion, TimePoint now)
{
    restartFrom(now);
    m_motion = motion;
}

Motor::Snapshot Motor::snapshot(TimePoint now) const
{
    Snapshot snapshot;
    snapshot.on = m_on;
    snapshot.stepMode = m_stepMode;
    snapshot.forcedReadyByte = m_forcedReadyByte ? *m_forcedReadyByte : -1;
    snapshot.origin = m_origin;
    snapshot.target = m_target;
    snapshot.moveStarted = m_moveStarted;
    if (m_moveStarted)
        snapshot.moveElapsedMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(now - m_moveStart).count();
    snapshot.motion = m_motion;
    return snapshot;
}

void Motor::restore(const Snapshot &snapshot, TimePoint now)
{
    m_on = snapshot.on;
    m_stepMode = snapshot.stepMode;
    m_forcedReadyByte.reset();
    if (snapshot.forcedReadyByte >= 0 && snapshot.forcedReadyByte <= 255)
        m_forcedReadyByte = static_cast<uint8_t>(snapshot.forcedReadyByte);
    m_origin = snapshot.origin;
    m_target = snapshot.target;
    m_moveStarted = snapshot.moveStarted;
    m_moveStart = now - std::chrono::microseconds(snapshot.moveElapsedMicroseconds);
    m_motion = snapshot.motion;
}

double Motor::countsPerStep() const
{
    return countsPerStep(m_stepMode);
}

// A step mode beyond whole steps is not one the driver can run; it counts whole steps.
double Motor::countsPerStep(uint8_t stepMode) const
{
    return stepMode <= m_fullStepMode ? std::ldexp(1.0, m_fullStepMode - stepMode) : 1.0;
}

double Motor::secondsSinceMoveStart(TimePoint now) const
{
    return std::chrono::duration<double>(now - m_moveStart).count();
}

double Motor::moveDistanceInSteps() const
{
    return std::fabs(static_cast<double>(m_target) - m_origin) / countsPerStep();
}

void Motor::restartFrom(TimePoint now)
{
    const bool stillMoving = isMovingAt(now);
    m_origin = positionAt(now);
    m_moveStarted = stillMoving;
    if (!stillMoving)
        m_target = m_origin;
    m_moveStart = now;
}

int32_t Motor::saturated(double counter)
{
    const double low = std::numeric_limits<int32_t>::min();
    const double high = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(counter, low, high));
}

} // namespace velmor_firmware
