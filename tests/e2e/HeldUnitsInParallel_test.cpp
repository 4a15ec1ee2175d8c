// Calls on different held units run at the same time: one unit that stops answering holds up
// no call on another, and the library's lock is let go while a call waits for its unit. Holds
// of one unit in several sessions (the clients of velmord) share its one handle.
#include "Bench.h"
#include "UnitFaults.h"
#include "VelmorLibExtras.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr int kReadMotorInformation = 0x41;

size_t opensSoFar()
{
    const std::vector<VelmorEmulator::CallRecord> calls = VelmorEmulator::calls();
    return size_t(std::count_if(calls.begin(), calls.end(), [](const VelmorEmulator::CallRecord &call) {
        return call.function == "FT_Open" || call.function == "FT_OpenEx";
    }));
}

size_t motorInformationRequests(size_t unit)
{
    const auto packets = VelmorEmulator::receivedPackets(unit);
    return size_t(std::count_if(packets.begin(), packets.end(), [](const auto &packet) {
        return packet.commandCode == kReadMotorInformation;
    }));
}

class HeldUnitsInParallel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bench::set({bench::ft232r("JXah00101"), bench::ft232r("JXah00102")});
        ASSERT_EQ(initialise(), VELMOR_OK);
        ASSERT_EQ(velmorHoldUnit(1), VELMOR_OK);
        ASSERT_EQ(velmorHoldUnit(2), VELMOR_OK);
    }
    void TearDown() override { velmorReleaseAllUnits(); }

    // Unit 1 stops answering its motor information; the call returns once the request is out
    // and waits out the 4 s reply time-out.
    static std::future<int32_t> positionCallOnASilentUnit1()
    {
        VelmorEmulator::addUnitFault(0, faults::silence(kReadMotorInformation));
        const size_t asked = motorInformationRequests(0);
        std::future<int32_t> stuck = std::async(std::launch::async, [] {
            int32_t position = 0;
            return getAbsolutePosition(1, &position);
        });
        while (motorInformationRequests(0) == asked)
            std::this_thread::yield();
        return stuck;
    }
};

TEST_F(HeldUnitsInParallel, ASilentUnitHoldsUpNoCallOnAnother)
{
    std::future<int32_t> stuck = positionCallOnASilentUnit1();

    for (int call = 0; call < 20; ++call) {
        int32_t position = -1;
        EXPECT_EQ(getAbsolutePosition(2, &position), VELMOR_OK);
        EXPECT_EQ(position, 0);
    }
    EXPECT_NE(stuck.wait_for(std::chrono::seconds(0)), std::future_status::ready)
        << "the calls on unit 2 waited for the silent unit";
    EXPECT_EQ(stuck.get(), VELMOR_ERROR_READ_FAILED);
}

TEST_F(HeldUnitsInParallel, AUnitReleasedWhileItsCallWaitsClosesOnceTheCallEnds)
{
    std::future<int32_t> stuck = positionCallOnASilentUnit1();

    EXPECT_EQ(velmorReleaseUnit(1), VELMOR_OK);
    EXPECT_NE(stuck.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(stuck.get(), VELMOR_ERROR_READ_FAILED);
    // The handle went with the call: the unit opens again for the next one.
    int32_t position = -1;
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK);
}

TEST_F(HeldUnitsInParallel, ThreadsOnBothUnitsWithStopsBetweenThem)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int worker = 0; worker < 4; ++worker) {
        threads.emplace_back([&, worker] {
            const int32_t unit = worker % 2 + 1;
            for (int round = 0; round < 15; ++round) {
                VelmorMotorStatus status{};
                status.size = sizeof status;
                int32_t position = 0;
                const bool ok = velmorGetMotorStatus(unit, &status) == VELMOR_OK && stopMotor(unit) == VELMOR_OK
                                && getAbsolutePosition(unit, &position) == VELMOR_OK;
                if (!ok)
                    ++failures;
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(HeldUnitsInParallel, SessionsHoldingOneUnitShareItsHandle)
{
    const size_t opensBefore = opensSoFar();
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < 3; ++client) {
        clients.emplace_back([&, client] {
            VelmorSession *session = nullptr;
            velmorOpenSession(&session);
            velmorEnterSession(session);
            // One client holds the unit as well, the others only call it.
            if (initialise() != VELMOR_OK || (client == 0 && velmorHoldUnit(1) != VELMOR_OK))
                ++failures;
            for (int round = 0; round < 10; ++round) {
                int32_t position = 0;
                if (getAbsolutePosition(1, &position) != VELMOR_OK)
                    ++failures;
            }
            velmorEnterSession(nullptr);
            velmorCloseSession(session);
        });
    }
    for (std::thread &thread : clients)
        thread.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(opensSoFar(), opensBefore) << "a session opened the unit another session holds";
    int32_t position = 0;
    EXPECT_EQ(getAbsolutePosition(1, &position), VELMOR_OK) << "closing the sessions closed the process's hold";
}

} // namespace
