// While it lives, an interrupt (Ctrl-C) or a request to end the process (SIGTERM; on Windows
// Ctrl-Break and closing the console) only raises a flag that the waiting loop reads, so that
// the tool can stop the motor before it exits. The handler makes no library call.
#ifndef VELMORCTL_INTERRUPTGUARD_H
#define VELMORCTL_INTERRUPTGUARD_H

#include <atomic>
#include <csignal>

class InterruptGuard
{
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

    static bool raised();
    // SIGINT for an interrupt, SIGTERM for a request to end; 0 for none.
    static int signalNumber();
    // For the platform's handler only.
    static void setRaised(int signalNumber);

private:

    static std::atomic<int> s_signal;
};

#endif
