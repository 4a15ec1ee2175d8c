// Counting the attached supported units through the exports.
#include "Bench.h"
#include "VelmorLib.h"

#include <gtest/gtest.h>

namespace {

using namespace bench;

int32_t countDevices()
{
    int32_t count = -7;
    EXPECT_EQ(getDeviceCount(&count), VELMOR_OK);
    return count;
}

TEST(DeviceCount, CountsOnlySupportedHardwareBeforeAndAfterInitialise)
{
    set({ft232r("JXah00101"), unit(Chip::FT232H, "JXbh00102"), ft232r("JXah02301"),  // 23.1 is not supported
         ft232r("JXahXY102"), unit(Chip::XSeries, "JXah02701"), ft232r("JXah01001"),
         unit(Chip::FT2232H, "JXbh01001")});  // its listed serial has no hardware version
    EXPECT_EQ(countDevices(), 4);
    EXPECT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(countDevices(), 4);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST(DeviceCount, FailingListingCountsNothing)
{
    set({ft232r(), ft232r("JXah00101")});
    VelmorEmulator::failCall("FT_CreateDeviceInfoList", 2);
    EXPECT_EQ(countDevices(), 0);
}

TEST(DeviceCount, NullCountIsRefusedWithoutTouchingTheBus)
{
    set({ft232r()});
    EXPECT_EQ(getDeviceCount(nullptr), VELMOR_ERROR_ARGUMENT);
    EXPECT_TRUE(VelmorEmulator::calls().empty());
}

TEST(DeviceCount, DefaultBenchCoversEverySupportedHardwareVersion)
{
    VelmorEmulator::useDefaultBench();
    EXPECT_EQ(countDevices(), 4);
}

} // namespace
