#include "InterruptGuard.h"

#include <windows.h>

namespace {

// Windows ends the process as soon as the handler of a console close returns (and after 5 s at
// the latest): the handler waits until the guard is gone, that is until the tool has stopped
// the motor. The event lives as long as the process, since a handler may still wait on it.
HANDLE s_guardGone = nullptr;
constexpr DWORD s_closeGraceMs = 4500;

BOOL WINAPI handleConsoleEvent(DWORD event);

} // namespace

InterruptGuard::InterruptGuard()
{
    s_signal = 0;
    if (s_guardGone == nullptr)
        s_guardGone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    else
        ResetEvent(s_guardGone);
    SetConsoleCtrlHandler(&handleConsoleEvent, TRUE);
}

InterruptGuard::~InterruptGuard()
{
    SetConsoleCtrlHandler(&handleConsoleEvent, FALSE);
    if (s_guardGone != nullptr)
        SetEvent(s_guardGone);
}


namespace {

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI handleConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
        InterruptGuard::setRaised(SIGINT);
        return TRUE;
    case CTRL_BREAK_EVENT:
        InterruptGuard::setRaised(SIGTERM);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        InterruptGuard::setRaised(SIGTERM);
        if (s_guardGone != nullptr)
            WaitForSingleObject(s_guardGone, s_closeGraceMs);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace
