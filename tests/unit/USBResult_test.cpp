#include "USBResult.h"

#include <gtest/gtest.h>

namespace {

struct StatusCase
{
    quint32 status;
    const char *message;
};

class StatusText : public ::testing::TestWithParam<StatusCase>
{
};

TEST_P(StatusText, FailingStatusesCarryTheirTextWithCodeTwo)
{
    const USBResult result = USBResult::fromFtStatus(GetParam().status);
    EXPECT_EQ(result.code, 2u);
    EXPECT_FALSE(result.isOk());
    EXPECT_EQ(result.message, QString::fromLatin1(GetParam().message));
    EXPECT_EQ(result.toString(), result.message);
}

INSTANTIATE_TEST_SUITE_P(Table, StatusText,
                         ::testing::Values(StatusCase{1, "Invalid handle"}, StatusCase{2, "Device not found"},
                                           StatusCase{3, "Device not opened"}, StatusCase{4, "Communication error"},
                                           StatusCase{7, "Invalid BAUD rate"}, StatusCase{8, "Unable to erase"},
                                           StatusCase{9, "Unable to write"}, StatusCase{10, "Unable to write"},
                                           StatusCase{11, "Unable to read EEPROM"}, StatusCase{15, "EEPROM not programmed"},
                                           StatusCase{16, "Invalid arguments"}, StatusCase{17, "Unsupported devices"},
                                           StatusCase{18, "Unknown error"}, StatusCase{19, "Unknown error"},
                                           StatusCase{0xFFFFFFFFu, "Unknown error"}));

TEST(USBResult, SuccessIsValidAndReadsSuccess)
{
    const USBResult fromStatus = USBResult::fromFtStatus(0);
    EXPECT_TRUE(fromStatus.isOk());
    EXPECT_EQ(fromStatus.message, QStringLiteral("Valid"));
    EXPECT_EQ(fromStatus.toString(), QStringLiteral("Success"));

    const USBResult fresh;
    EXPECT_TRUE(fresh.isOk());
    EXPECT_TRUE(fresh.message.isEmpty());
    EXPECT_EQ(fresh.toString(), QStringLiteral("Success"));
}

TEST(USBResult, WarningIsNotOkAndShowsItsMessage)
{
    const USBResult warning(QStringLiteral("Some values were out of range"), 1);
    EXPECT_FALSE(warning.isOk());
    EXPECT_EQ(warning.toString(), QStringLiteral("Some values were out of range"));
}

} // namespace
