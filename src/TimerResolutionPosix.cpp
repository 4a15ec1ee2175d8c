#include "TimerResolution.h"

// POSIX sleeps are as fine as asked already.
TimerResolution::TimerResolution() noexcept = default;

TimerResolution::~TimerResolution() = default;
