// A lock that lets waiting threads in in the order they arrived (a ticket lock): a thread that
// calls in while others wait for the library never overtakes them.
#ifndef FAIRMUTEX_H
#define FAIRMUTEX_H

#include <QtGlobal>
#include <condition_variable>
#include <mutex>

class FairMutex
{
public:
    FairMutex() = default;
    FairMutex(const FairMutex &) = delete;
    FairMutex &operator=(const FairMutex &) = delete;

    void lock();
    void unlock();
    // The threads inside lock() that have not got their turn yet.
    quint64 waitingCount();

private:
    std::mutex m_mutex;
    std::condition_variable m_turnChanged;
    quint64 m_nextTicket = 0;
    quint64 m_nowServing = 0;
};

#endif // FAIRMUTEX_H
