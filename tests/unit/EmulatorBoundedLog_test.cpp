// The emulator's logs keep their newest entries only, so that its memory stays flat however
// long it runs.
#include "firmware/BoundedLog.h"

#include <gtest/gtest.h>

namespace {

using velmor_firmware::BoundedLog;

TEST(EmulatorBoundedLog, KeepsTheNewestEntriesInOrder)
{
    BoundedLog<int> log(3);
    for (int entry = 1; entry <= 2; ++entry)
        log.append(entry);
    EXPECT_EQ(log.entries(), (std::vector<int>{1, 2}));
    for (int entry = 3; entry <= 7; ++entry)
        log.append(entry);
    EXPECT_EQ(log.entries(), (std::vector<int>{5, 6, 7}));
    log.clear();
    log.append(8);
    EXPECT_EQ(log.entries(), (std::vector<int>{8}));
}

} // namespace
