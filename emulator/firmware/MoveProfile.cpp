#include "MoveProfile.h"

#include <algorithm>
#include <cmath>

namespace velmor_firmware {

MoveProfile::MoveProfile(double distance, double speed, double acceleration)
    : m_distance(distance)
    , m_speed(speed)
    , m_acceleration(acceleration)
{
    if (m_acceleration <= 0.0) {
        m_duration = m_distance / m_speed;
        return;
    }
    m_rampTime = m_speed / m_acceleration;
    m_rampDistance = m_speed * m_rampTime / 2.0;
    if (2.0 * m_rampDistance >= m_distance) {
        m_rampTime = std::sqrt(m_distance / m_acceleration);
        m_rampDistance = m_distance / 2.0;
        m_duration = 2.0 * m_rampTime;
    } else {
        m_duration = 2.0 * m_rampTime + (m_distance - 2.0 * m_rampDistance) / m_speed;
    }
}

double MoveProfile::distanceAt(double seconds) const
{
    if (seconds <= 0.0)
        return 0.0;
    if (seconds >= m_duration)
        return m_distance;
    if (m_acceleration <= 0.0)
        return std::min(m_distance, m_speed * seconds);
    if (seconds < m_rampTime)
        return m_acceleration * seconds * seconds / 2.0;
    const double remaining = m_duration - seconds;
    if (remaining < m_rampTime)
        return m_distance - m_acceleration * remaining * remaining / 2.0;
    return m_rampDistance + m_acceleration * m_rampTime * (seconds - m_rampTime);
}

} // namespace velmor_firmware
