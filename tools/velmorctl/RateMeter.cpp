#include "RateMeter.h"

#include <cmath>

namespace {
constexpr std::chrono::milliseconds s_window(1000);
} // namespace

void RateMeter::add(Clock::time_point time, int32_t position)
{
    m_samples.emplace_back(time, position);
    while (m_samples.size() > 2 && time - m_samples[1].first >= s_window)
        m_samples.pop_front();
}

double RateMeter::stepsPerSecond() const
{
    if (m_samples.size() < 2)
        return 0.0;
    const double seconds = std::chrono::duration<double>(m_samples.back().first - m_samples.front().first).count();
    if (seconds <= 0.0)
        return 0.0;
    const double steps = static_cast<double>(m_samples.back().second) - m_samples.front().second;
    return std::fabs(steps) / seconds;
}
