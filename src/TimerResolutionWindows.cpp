#include "TimerResolution.h"

#include <windows.h>
#include <timeapi.h>

namespace {
constexpr UINT s_periodMs = 1;
} // namespace

// Each raise is paired with its own end: Windows counts them, and the finer timer lasts until
// every caller has ended its period.
TimerResolution::TimerResolution() noexcept
    : m_raised(timeBeginPeriod(s_periodMs) == TIMERR_NOERROR)
{
}

TimerResolution::~TimerResolution()
{
    if (m_raised)
        timeEndPeriod(s_periodMs);
}
