#include "InterruptGuard.h"

std::atomic<int> InterruptGuard::s_signal{0};

namespace {
struct sigaction s_previousInterrupt;
struct sigaction s_previousTerminate;
} // namespace

InterruptGuard::InterruptGuard()
{
    s_signal = 0;
    struct sigaction action = {};
    action.sa_handler = &InterruptGuard::setRaised;
    sigemptyset(&action.sa_mask);
    // Restarting keeps the library's own reads and sleeps undisturbed; the wait loop sees the
    // flag after each call.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &s_previousInterrupt);
    sigaction(SIGTERM, &action, &s_previousTerminate);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &s_previousInterrupt, nullptr);
    sigaction(SIGTERM, &s_previousTerminate, nullptr);
}

bool InterruptGuard::raised()
{
    return s_signal != 0;
}

int InterruptGuard::signalNumber()
{
    return s_signal;
}

void InterruptGuard::setRaised(int signalNumber)
{
    s_signal = signalNumber;
}
