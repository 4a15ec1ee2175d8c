// The emulator's handle watch, driven straight through D2XX from several threads: the most
// handles open at once, and the calls one thread makes while another thread's handle is open.
#include "Bench.h"
#include "FtdiLibrary.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace bench;

FT_HANDLE openInterface(int index)
{
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(index, &handle), FT_STATUS(FT_OK));
    return handle;
}

// Runs `body` in a thread of its own and waits for it.
template <typename Body>
void inAnotherThread(Body body)
{
    std::thread thread(body);
    thread.join();
}

TEST(EmulatorHandleWatch, CountsTheMostHandlesOpenAtOnce)
{
    set({ft232r("JXah001020001"), ft232r("JXah001020002"), unit(Chip::FT2232H, "JXah001020003")});
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 0u);
    FT_HANDLE first = openInterface(0);
    FT_Close(first);
    FT_HANDLE second = openInterface(1);
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 1u);
    FT_HANDLE dataLine = openInterface(2);
    FT_HANDLE commandLine = openInterface(3);
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 3u);
    FT_Close(dataLine);
    FT_Close(commandLine);
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 3u);

    // a fresh watch starts from what is open now
    VelmorEmulator::clearCalls();
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 1u);
    FT_Close(second);
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 1u);
    EXPECT_EQ(VelmorEmulator::callsBesideAnotherThreadsHandle(), 0u);
}

TEST(EmulatorHandleWatch, CountsCallsMadeWhileAnotherThreadsHandleIsOpen)
{
    set({ft232r("JXah001020001"), ft232r("JXah001020002")});
    FT_HANDLE mine = openInterface(0);
    DWORD count = 0;
    DWORD queued = 0;
    inAnotherThread([&] {
        EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));  // beside mine: counted
        FT_HANDLE theirs = openInterface(1);                           // counted
        EXPECT_EQ(FT_GetQueueStatus(theirs, &queued), FT_STATUS(FT_OK));  // counted
        FT_Close(theirs);                                              // counted
    });
    EXPECT_EQ(VelmorEmulator::callsBesideAnotherThreadsHandle(), 4u);
    EXPECT_EQ(FT_GetQueueStatus(mine, &queued), FT_STATUS(FT_OK));     // only my own handle is open
    EXPECT_EQ(VelmorEmulator::callsBesideAnotherThreadsHandle(), 4u);
    FT_Close(mine);

    // one thread after another, each closing what it opened, never overlaps; the log names them
    VelmorEmulator::clearCalls();
    std::thread::id callers[2];
    for (int index = 0; index < 2; ++index) {
        inAnotherThread([index, &callers] {
            callers[index] = std::this_thread::get_id();
            DWORD listed = 0;
            FT_CreateDeviceInfoList(&listed);
            FT_Close(openInterface(index));
        });
    }
    EXPECT_EQ(VelmorEmulator::callsBesideAnotherThreadsHandle(), 0u);
    EXPECT_EQ(VelmorEmulator::mostHandlesOpenAtOnce(), 1u);
    const std::vector<VelmorEmulator::CallRecord> log = VelmorEmulator::calls();
    ASSERT_EQ(log.size(), 6u);
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].thread, callers[i / 3]) << log[i].function;
}

} // namespace
