// While it lives, SIGINT and SIGTERM only raise a flag that the waiting loop reads, so that
// the tool can stop the motor before it exits. The handler makes no library call.
#ifndef VELMORCTL_INTERRUPTGUARD_H
#define VELMORCTL_INTERRUPTGUARD_H

#include <csignal>

class InterruptGuard
{
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    static bool raised();
    // The signal that raised the flag, 0 for none.
    static int signalNumber();

private:
    static void handle(int signalNumber);

    struct sigaction m_previousInterrupt;
    struct sigaction m_previousTerminate;
    static volatile sig_atomic_t s_signal;
};

#endif
