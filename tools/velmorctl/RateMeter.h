// The motor's speed in full steps per second, from the positions seen over the last second.
#ifndef VELMORCTL_RATEMETER_H
#define VELMORCTL_RATEMETER_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <utility>

class RateMeter
{
public:
    using Clock = std::chrono::steady_clock;

    void add(Clock::time_point time, int32_t position);
    double stepsPerSecond() const;

private:
    std::deque<std::pair<Clock::time_point, int32_t>> m_samples;
};

#endif
