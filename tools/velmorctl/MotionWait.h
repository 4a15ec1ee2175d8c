// Waits for a unit's motor to be ready again after a move: polls its readiness and position,
// shows the progress, and ends on readiness, on the time-out, on an interrupt or on a failed call.
#ifndef VELMORCTL_MOTIONWAIT_H
#define VELMORCTL_MOTIONWAIT_H

#include <cstdint>
#include <optional>
#include <string>

struct WaitOutcome
{
    enum class End { Ready, TimedOut, Interrupted, Failed };

    End end = End::Ready;
    int32_t code = 0;           // of the call that failed
    int32_t position = 0;       // the last position read
};

class MotionWait
{
public:
    MotionWait(int32_t index, std::string label, int32_t start, std::optional<int32_t> target);

    // The caller holds an InterruptGuard.
    WaitOutcome run(double timeoutSeconds) const;

private:
    int32_t m_index;
    std::string m_label;
    int32_t m_start;
    std::optional<int32_t> m_target;
};

#endif
