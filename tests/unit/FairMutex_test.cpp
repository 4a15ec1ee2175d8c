// The library lock lets waiting threads in in the order they arrived.
#include "FairMutex.h"

#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Waits until `count` threads queue for the lock; the test sees arrivals, not times.
void waitForQueue(FairMutex &mutex, quint64 count)
{
    while (mutex.waitingCount() < count)
        QThread::yieldCurrentThread();
}

TEST(FairMutex, WaitingThreadsEnterInTheOrderTheyArrived)
{
    constexpr int kThreads = 8;
    FairMutex mutex;
    std::mutex entriesGuard;
    std::vector<int> entries;
    std::vector<std::thread> threads;

    mutex.lock();
    for (int arrival = 0; arrival < kThreads; ++arrival) {
        threads.emplace_back([&, arrival] {
            mutex.lock();
            {
                std::lock_guard<std::mutex> guard(entriesGuard);
                entries.push_back(arrival);
            }
            mutex.unlock();
        });
        waitForQueue(mutex, quint64(arrival) + 1);
    }
    mutex.unlock();
    for (std::thread &thread : threads)
        thread.join();

    std::vector<int> arrivals(kThreads);
    for (int i = 0; i < kThreads; ++i)
        arrivals[size_t(i)] = i;
    EXPECT_EQ(entries, arrivals);
    EXPECT_EQ(mutex.waitingCount(), 0u);
}

TEST(FairMutex, ALaterArrivalDoesNotOvertakeAWaiterWhenTheHolderComesBackAtOnce)
{
    FairMutex mutex;
    std::vector<int> entries;
    mutex.lock();
    std::thread waiter([&] {
        mutex.lock();
        entries.push_back(1);
        mutex.unlock();
    });
    waitForQueue(mutex, 1);
    // The holder leaves and asks again straight away: it queues behind the waiter.
    mutex.unlock();
    mutex.lock();
    entries.push_back(2);
    mutex.unlock();
    waiter.join();
    EXPECT_EQ(entries, std::vector<int>({1, 2}));
}

} // namespace
