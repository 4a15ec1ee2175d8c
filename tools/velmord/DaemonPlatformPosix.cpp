#include "DaemonPlatform.h"

#include <csignal>
#include <cstdlib>

namespace {

void (*s_stop)() = nullptr;

extern "C" void onSignal(int)
{
    if (s_stop != nullptr)
        s_stop();
}

} // namespace

namespace DaemonPlatform {

void setVariable(const char *name, const char *value)
{
    ::setenv(name, value, 1);
}

void ignoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void stopOn(void (*stop)())
{
    s_stop = stop;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
}

} // namespace DaemonPlatform
