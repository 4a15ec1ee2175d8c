#include "MotionWait.h"

#include "InterruptGuard.h"
#include "ProgressDisplay.h"
#include "RateMeter.h"
#include "VelmorLib.h"

#include <chrono>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

// Each poll is two library calls of at least 50 ms each; the pause between polls only keeps
// a fast unit from being asked without a break.
constexpr long s_pauseNanoseconds = 20 * 1000 * 1000;

// A signal cuts the pause short, which is what the loop wants.
void pauseBetweenPolls()
{
    const timespec duration = {0, s_pauseNanoseconds};
    nanosleep(&duration, nullptr);
}

} // namespace

MotionWait::MotionWait(int32_t index, std::string label, int32_t start, std::optional<int32_t> target)
    : m_index(index), m_label(std::move(label)), m_start(start), m_target(target)
{
}

WaitOutcome MotionWait::run(double timeoutSeconds) const
{
    const Clock::time_point deadline = Clock::now()
        + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
    ProgressDisplay display(m_label, m_start, m_target);
    RateMeter rate;
    WaitOutcome outcome;
    outcome.position = m_start;
    rate.add(Clock::now(), m_start);
    const auto endWith = [&outcome](WaitOutcome::End end) {
        outcome.end = end;
        return outcome;
    };
    for (;;) {
        if (InterruptGuard::raised())
            return endWith(WaitOutcome::End::Interrupted);
        uint8_t ready = 0;
        outcome.code = isMotorReady(m_index, &ready);
        if (outcome.code == VELMOR_OK)
            outcome.code = getAbsolutePosition(m_index, &outcome.position);
        if (outcome.code != VELMOR_OK)
            return endWith(WaitOutcome::End::Failed);
        const Clock::time_point now = Clock::now();
        rate.add(now, outcome.position);
        display.show(now, outcome.position, rate.stepsPerSecond());
        if (ready != 0)
            return endWith(WaitOutcome::End::Ready);
        if (InterruptGuard::raised())
            return endWith(WaitOutcome::End::Interrupted);
        if (now >= deadline)
            return endWith(WaitOutcome::End::TimedOut);
        pauseBetweenPolls();
    }
}
