#include "InterruptGuard.h"

volatile sig_atomic_t InterruptGuard::s_signal = 0;

InterruptGuard::InterruptGuard()
{
    s_signal = 0;
    struct sigaction action = {};
    action.sa_handler = &InterruptGuard::handle;
    sigemptyset(&action.sa_mask);
    // Restarting keeps the library's own reads and sleeps undisturbed; the wait loop sees the
    // flag after each call.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

InterruptGuard::~InterruptGuard()
{
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
}

bool InterruptGuard::raised()
{
    return s_signal != 0;
}

int InterruptGuard::signalNumber()
{
    return s_signal;
}

void InterruptGuard::handle(int signalNumber)
{
    s_signal = signalNumber;
}
