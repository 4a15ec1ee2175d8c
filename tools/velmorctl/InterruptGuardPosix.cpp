#include "InterruptGuard.h"

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
