#include "LibrarySession.h"

namespace {

thread_local LibrarySession *t_entered = nullptr;
thread_local bool t_urgent = false;

} // namespace

LibrarySession &LibrarySession::current()
{
    return t_entered != nullptr ? *t_entered : processSession();
}

LibrarySession &LibrarySession::processSession()
{
    // Never destroyed: a unit still held when the process ends is left for the operating system
    // to close, rather than closed from a static destructor while D2XX may be shutting down.
    static auto *const session = new LibrarySession();
    return *session;
}

void LibrarySession::enter(LibrarySession *session)
{
    t_entered = session;
}

bool LibrarySession::isEntered()
{
    return t_entered != nullptr;
}

void LibrarySession::noteHoldsChanged()
{
    bool any = false;
    for (const std::unique_ptr<HeldUnit> &pin : pins)
        any = any || pin != nullptr;
    holding = any;
}

bool LibrarySession::callIsUrgent()
{
    return t_urgent;
}

LibrarySession::UrgentCall::UrgentCall()
{
    t_urgent = true;
}

LibrarySession::UrgentCall::~UrgentCall()
{
    t_urgent = false;
}
