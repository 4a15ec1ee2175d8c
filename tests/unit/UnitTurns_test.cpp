// Who gets an open unit next: a stop before every waiting call, and the waiting calls of
// different clients in turn, so that one client with many calls queued cannot starve another.
#include "UnitTurns.h"

#include <QThread>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Arrival
{
    quintptr client;
    bool urgent;
    std::string name;
};

// The order in which waiters that queued behind a holder, in the order given, get their turns.
std::vector<std::string> servedOrder(const std::vector<Arrival> &arrivals)
{
    UnitTurns turns;
    std::mutex servedGuard;
    std::vector<std::string> served;
    std::vector<std::thread> threads;
    turns.acquire(999, false);
    for (const Arrival &arrival : arrivals) {
        threads.emplace_back([&, arrival] {
            turns.acquire(arrival.client, arrival.urgent);
            {
                std::lock_guard<std::mutex> guard(servedGuard);
                served.push_back(arrival.name);
            }
            turns.release();
        });
        while (turns.waitingCount() < threads.size())
            QThread::yieldCurrentThread();
    }
    turns.release();
    for (std::thread &thread : threads)
        thread.join();
    return served;
}

TEST(UnitTurns, AStopGoesAheadOfEveryWaitingCall)
{
    EXPECT_EQ(servedOrder({{1, false, "a1"}, {1, false, "a2"}, {2, false, "b1"}, {3, true, "stop"}}),
              (std::vector<std::string>{"stop", "a1", "b1", "a2"}));
}

TEST(UnitTurns, ClientsTakeTurnsWhateverTheyQueued)
{
    // Client 1 queued four calls before client 2's two: they alternate, then client 1 finishes.
    EXPECT_EQ(servedOrder({{1, false, "a1"}, {1, false, "a2"}, {1, false, "a3"}, {1, false, "a4"},
                           {2, false, "b1"}, {2, false, "b2"}}),
              (std::vector<std::string>{"a1", "b1", "a2", "b2", "a3", "a4"}));
}

TEST(UnitTurns, OneClientsCallsKeepTheirOrder)
{
    EXPECT_EQ(servedOrder({{7, false, "1"}, {7, false, "2"}, {7, false, "3"}}), (std::vector<std::string>{"1", "2", "3"}));
}

TEST(UnitTurns, TryAcquireNeverWaitsAndNeverOvertakesAWaiter)
{
    UnitTurns turns;
    ASSERT_TRUE(turns.tryAcquire(1));
    EXPECT_FALSE(turns.tryAcquire(2));
    std::thread waiter([&] {
        turns.acquire(2, false);
        turns.release();
    });
    while (turns.waitingCount() < 1)
        QThread::yieldCurrentThread();
    turns.release();
    waiter.join();
    EXPECT_TRUE(turns.tryAcquire(3));
    turns.release();
}

} // namespace
