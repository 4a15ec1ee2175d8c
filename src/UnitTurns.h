// Who uses an open unit next. One caller at a time exchanges with a unit; the others wait for
// their turn. A stop goes ahead of every waiting call, and the waiting callers of different
// clients take turns: the next turn goes to the oldest waiter of another client than the last
// one served, so a client with many calls queued cannot starve another.
#ifndef UNITTURNS_H
#define UNITTURNS_H

#include <QtGlobal>
#include <condition_variable>
#include <deque>
#include <mutex>

class UnitTurns
{
public:
    UnitTurns() = default;
    UnitTurns(const UnitTurns &) = delete;
    UnitTurns &operator=(const UnitTurns &) = delete;

    // Waits for the turn of `client`; an urgent call (a stop) is served before every other waiter.
    void acquire(quintptr client, bool urgent);
    // Takes the turn when nobody has it and nobody waits; never waits.
    bool tryAcquire(quintptr client);
    void release();
    quint64 waitingCount();

private:
    struct Waiter
    {
        quint64 ticket;
        quintptr client;
        bool urgent;
    };
    std::deque<Waiter>::iterator nextWaiter();

    std::mutex m_mutex;
    std::condition_variable m_turnChanged;
    std::deque<Waiter> m_waiting;
    bool m_taken = false;
    quint64 m_nextTicket = 1;
    quint64 m_granted = 0;
    quintptr m_lastClient = 0;
};

#endif // UNITTURNS_H
