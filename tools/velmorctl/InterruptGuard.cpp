#include "InterruptGuard.h"

std::atomic<int> InterruptGuard::s_signal{0};

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
