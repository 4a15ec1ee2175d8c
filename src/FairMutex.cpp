#include "FairMutex.h"

void FairMutex::lock()
{
    std::unique_lock<std::mutex> guard(m_mutex);
    const quint64 ticket = m_nextTicket++;
    m_turnChanged.wait(guard, [&] { return m_nowServing == ticket; });
}

void FairMutex::unlock()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_nowServing;
    }
    // Every waiter wakes and only the next ticket's holder goes on.
    m_turnChanged.notify_all();
}

quint64 FairMutex::waitingCount()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    // The holder's ticket is taken but served: it does not wait.
    const quint64 taken = m_nextTicket - m_nowServing;
    return taken == 0 ? 0 : taken - 1;
}
