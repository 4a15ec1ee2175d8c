#include "UnitTurns.h"

#include <algorithm>

void UnitTurns::acquire(quintptr client, bool urgent)
{
    std::unique_lock<std::mutex> guard(m_mutex);
    if (!m_taken && m_waiting.empty()) {
        m_taken = true;
        m_lastClient = client;
        return;
    }
    const quint64 ticket = m_nextTicket++;
    m_waiting.push_back(Waiter{ticket, client, urgent});
    m_turnChanged.wait(guard, [&] { return m_granted == ticket; });
}

bool UnitTurns::tryAcquire(quintptr client)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_taken || !m_waiting.empty())
        return false;
    m_taken = true;
    m_lastClient = client;
    return true;
}

void UnitTurns::release()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_waiting.empty()) {
            m_taken = false;
            return;
        }
        const auto next = nextWaiter();
        m_granted = next->ticket;
        m_lastClient = next->client;
        m_waiting.erase(next);
    }
    // Every waiter wakes and only the one granted goes on.
    m_turnChanged.notify_all();
}

std::deque<UnitTurns::Waiter>::iterator UnitTurns::nextWaiter()
{
    const auto urgent = std::find_if(m_waiting.begin(), m_waiting.end(), [](const Waiter &waiter) { return waiter.urgent; });
    if (urgent != m_waiting.end())
        return urgent;
    const auto otherClient = std::find_if(m_waiting.begin(), m_waiting.end(),
                                          [&](const Waiter &waiter) { return waiter.client != m_lastClient; });
    return otherClient != m_waiting.end() ? otherClient : m_waiting.begin();
}

quint64 UnitTurns::waitingCount()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_waiting.size();
}
