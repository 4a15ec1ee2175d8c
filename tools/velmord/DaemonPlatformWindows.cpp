#include "DaemonPlatform.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<void (*)()> s_stop{nullptr};
// Windows ends the process as soon as the handler of a console close, logoff or shutdown
// returns (and after 5 s at the latest): the handler gives main the time to log and flush,
// main's exit ends the wait.
constexpr DWORD kCloseGraceMs = 4500;

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (void (*stop)() = s_stop.load())
        stop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(kCloseGraceMs);
    return TRUE;
}

} // namespace

namespace DaemonPlatform {

void setVariable(const char *name, const char *value)
{
    // The C runtime's copy, which the library reads, and the process's own.
    _putenv_s(name, value);
    SetEnvironmentVariableA(name, value);
}

void ignoreBrokenPipes()
{
    // A write to a pipe whose client went away fails with ERROR_NO_DATA: nothing to do.
}

void stopOn(void (*stop)())
{
    s_stop = stop;
    SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

} // namespace DaemonPlatform
