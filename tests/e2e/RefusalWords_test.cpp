// The library words why a unit refuses a setting, from the hardware in its listed serial number,
// opening nothing; and names the chips D2XX reports.
#include "Bench.h"
#include "VelmorLibExtras.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace bench;

struct RefusalCase
{
    int32_t index;  // 1: hardware 1.2, 2: hardware 27.1
    const char *function;
    std::vector<int64_t> arguments;
    const char *words;
};

std::ostream &operator<<(std::ostream &out, const RefusalCase &refusal)
{
    return out << refusal.function << " " << refusal.words;
}

class RefusalWords : public ::testing::TestWithParam<RefusalCase>
{
protected:
    void SetUp() override
    {
        set({ft232r("JXah00102", 3, 0), unit(Chip::XSeries, "JXah02701", 1, 0), unit(Chip::FT232H, "JXbh01001", 1, 0)});
    }

    static std::string explain(int32_t index, const char *function, const std::vector<int64_t> &arguments,
                               int32_t expectedCode = VELMOR_OK, uint32_t capacity = 256)
    {
        std::vector<char> text(capacity + 1, '#');
        EXPECT_EQ(velmorExplainRefusal(index, function, arguments.data(), int32_t(arguments.size()), text.data(), capacity),
                  expectedCode);
        EXPECT_EQ(text[capacity], '#') << "written beyond the capacity";
        return expectedCode == VELMOR_OK ? std::string(text.data()) : std::string();
    }
};

TEST_P(RefusalWords, EachValueOutsideTheUnitsRangeIsNamedWithTheRange)
{
    const RefusalCase &refusal = GetParam();
    EXPECT_EQ(explain(refusal.index, refusal.function, refusal.arguments), refusal.words);
    for (const VelmorEmulator::CallRecord &call : VelmorEmulator::calls())
        EXPECT_NE(call.function, "FT_Open") << "a unit was opened";
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RefusalWords,
    ::testing::Values(
        RefusalCase{1, "setMotorCurrent", {8001, 1}, "8001 mA is above the 8000 mA maximum of this unit (hardware 1.2)"},
        RefusalCase{2, "setMotorCurrent", {2001, 0}, "2001 mA is above the 2000 mA maximum of this unit (hardware 27.1)"},
        RefusalCase{1, "setMotorCurrent", {1000, 0}, ""},
        RefusalCase{1, "setMotorSpeed", {2000, 5},
                    "2000 steps/s at step mode 5 is a step rate of 64000 steps/s, above the 20000 steps/s maximum of "
                    "this unit (hardware 1.2)"},
        RefusalCase{2, "setMotorSpeed", {2000, 5}, ""},  // 64000 steps/s: hardware 27.1 takes up to 100000
        RefusalCase{1, "setMotorSpeed", {-5, 300},
                    "a speed of -5 steps/s is below 0; step mode 300 is outside the 0 to 255 of this unit (hardware "
                    "1.2)"},
        RefusalCase{1, "setMotorAcceleration", {-1}, "an acceleration of -1 steps/s^2 is below 0"},
        RefusalCase{1, "setBacklashCompensation", {1, 2, 70000},
                    "direction 2 is neither 0 nor 1; a backlash of 70000 steps is outside the 0 to 65535 of this unit "
                    "(hardware 1.2)"},
        RefusalCase{1, "setHomeSettings", {0, 0, 0, 10001, -1},
                    "home value A 10001 is above the 10000 maximum; home value B -1 is below 0"},
        RefusalCase{2, "setLimitSwitches", {8, 1, 9, 1}, "input 9 is outside the inputs 1 to 8 of this unit (hardware 27.1)"},
        RefusalCase{1, "setLimitSwitches", {5, 1, 1, 1}, "input 5 is outside the inputs 1 to 4 of this unit (hardware 1.2)"},
        RefusalCase{1, "setPWM", {-1}, "a PWM value of -1 is below 0"}));

TEST_F(RefusalWords, WhatIsNotASettingsCallOrNoUnitIsRefused)
{
    EXPECT_EQ(explain(1, "moveMotorRelative", {100}, VELMOR_ERROR_ARGUMENT), "");
    EXPECT_EQ(explain(1, "setMotorCurrent", {100}, VELMOR_ERROR_ARGUMENT), "");
    EXPECT_EQ(explain(4, "setPWM", {1}, VELMOR_ERROR_DEVICE_INDEX), "");
    EXPECT_EQ(explain(0, "setPWM", {1}, VELMOR_ERROR_DEVICE_INDEX), "");
    char text[8];
    const int64_t pwm = -1;
    EXPECT_EQ(velmorExplainRefusal(1, nullptr, &pwm, 1, text, sizeof text), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(velmorExplainRefusal(1, "setPWM", nullptr, 1, text, sizeof text), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(velmorExplainRefusal(1, "setPWM", &pwm, 1, nullptr, 8), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(velmorExplainRefusal(1, "setPWM", &pwm, 1, text, 0), VELMOR_ERROR_ARGUMENT);
}

TEST_F(RefusalWords, ALongTextIsCutToTheCapacityAndTerminated)
{
    EXPECT_EQ(explain(1, "setPWM", {-1}, VELMOR_OK, 8), "a PWM v");
}

TEST(ChipNames, EachChipD2xxReportsHasItsName)
{
    EXPECT_STREQ(velmorChipName(5), "FT232R");
    EXPECT_STREQ(velmorChipName(6), "FT2232H");
    EXPECT_STREQ(velmorChipName(7), "FT4232H");
    EXPECT_STREQ(velmorChipName(8), "FT232H");
    EXPECT_STREQ(velmorChipName(9), "X-series");
    EXPECT_STREQ(velmorChipName(3), "unknown");
    EXPECT_STREQ(velmorResultName(3), "VELMOR_ERROR_OPEN_FAILED");
    EXPECT_STREQ(velmorResultText(17), "unused result code");
    EXPECT_STREQ(velmorResultText(-1), "unknown result code");
    EXPECT_STREQ(velmorResultName(34), "");
}

} // namespace
