// The C++ face (VelmorLib.hpp): result codes thrown with their words, and held units released
// by their destructors, on the emulator.
#include "Bench.h"
#include "VelmorLib.hpp"

#include <gtest/gtest.h>

namespace {

using namespace bench;

class CppFace : public ::testing::Test
{
protected:
    void SetUp() override
    {
        set({ft232r("JXah001020001", 3, 0), ft232r("JXah001020002", 3, 0)});
        velmor::check(initialise(), "initialise");
    }
};

TEST_F(CppFace, AFailureIsThrownWithItsCodeNameAndWords)
{
    try {
        velmor::check(motorOn(7), "motorOn");
        FAIL() << "no exception";
    } catch (const velmor::Error &error) {
        EXPECT_EQ(error.code(), VELMOR_ERROR_DEVICE_INDEX);
        EXPECT_EQ(error.name(), "VELMOR_ERROR_DEVICE_INDEX");
        EXPECT_EQ(error.function(), "motorOn");
        EXPECT_STREQ(error.what(), "motorOn: the device index is out of range (result code 1)");
    }
    EXPECT_EQ(velmor::check(motorOn(1), "motorOn"), VELMOR_OK);
}

TEST_F(CppFace, AHeldUnitIsReleasedByItsDestructorAndMovesItsHold)
{
    {
        velmor::HeldUnit byIndex(1);
        velmor::HeldUnit bySerial("jxah001020002");
        EXPECT_EQ(bySerial.index(), 2);
        EXPECT_EQ(VelmorEmulator::openHandles().size(), 2u);
        velmor::HeldUnit moved(std::move(bySerial));
        EXPECT_EQ(bySerial.index(), 0);
        EXPECT_EQ(moved.state().held, 1);
        EXPECT_EQ(VelmorEmulator::openHandles().size(), 2u);
    }
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
    EXPECT_THROW(velmor::HeldUnit("JXah001029999"), velmor::Error);
    EXPECT_TRUE(VelmorEmulator::openHandles().empty());
}

TEST(CppFaceRecords, SizedRecordsAreZeroedWithTheirSize)
{
    const auto status = velmor::sized<VelmorMotorStatus>();
    EXPECT_EQ(status.size, sizeof(VelmorMotorStatus));
    EXPECT_EQ(status.position, 0);
    EXPECT_EQ(velmor::sized<VelmorUnitState>().size, sizeof(VelmorUnitState));
}

} // namespace
