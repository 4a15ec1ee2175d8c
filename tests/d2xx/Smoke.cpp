// VelmorLib on FTDI's own D2XX, on a machine with no units attached: FTDI's library answers the
// listing with a failure status or an empty list, which the exports take as no units at all.
// Without any D2XX the exports would answer the same: the library must show FTDI's loaded.
#include <VelmorLibExtras.h>

#include <gtest/gtest.h>

#include <string>

TEST(OnFtdiWithoutUnits, TheLibraryLoadedFtdisD2xx)
{
    VelmorD2xxInfo info = {};
    info.size = sizeof info;
    ASSERT_EQ(velmorGetD2xxInfo(&info), VELMOR_OK);
    ASSERT_EQ(info.loaded, 1) << info.error;
    EXPECT_NE(std::string(info.file).find("ftd2xx"), std::string::npos) << info.file;
    // FTDI's library tells its version, the emulator does not.
    EXPECT_NE(info.libraryVersion, 0u) << info.file;
}

TEST(OnFtdiWithoutUnits, CountsNoUnits)
{
    int32_t count = -1;
    EXPECT_EQ(getDeviceCount(&count), VELMOR_OK);
    EXPECT_EQ(count, 0);
}

TEST(OnFtdiWithoutUnits, MotorCallAfterInitialiseFindsNoUnitAtIndexOne)
{
    ASSERT_EQ(initialise(), VELMOR_OK);
    EXPECT_EQ(motorOn(1), VELMOR_ERROR_DEVICE_INDEX);
}

TEST(OnFtdiWithoutUnits, SerialNumberIsNotFound)
{
    ASSERT_EQ(initialise(), VELMOR_OK);
    int32_t index = 0;
    EXPECT_EQ(getDeviceIndex("JXAH01201", &index), VELMOR_ERROR_SERIAL_NOT_FOUND);
    EXPECT_EQ(index, -1);
}
