#include "USBDeviceIdentity.h"
#include "USBFtdiDevice.h"

#include <gtest/gtest.h>

namespace {

struct SerialCase
{
    const char *serial;
    bool valid;
    quint32 flowControl;
    quint32 modelLetter;
    quint32 major;
    quint32 minor;
    bool numberWildcard;
    quint32 unitNumber;
};

class Identity : public ::testing::TestWithParam<SerialCase>
{
};

TEST_P(Identity, ParsesTheSerialNumber)
{
    const SerialCase &expected = GetParam();
    const USBDeviceIdentity identity = identityFromSerial(QString::fromLatin1(expected.serial));
    EXPECT_EQ(identity.valid, expected.valid);
    EXPECT_EQ(identity.flowControl, expected.flowControl);
    EXPECT_EQ(identity.modelLetter, expected.modelLetter);
    EXPECT_EQ(identity.major, expected.major);
    EXPECT_EQ(identity.minor, expected.minor);
    EXPECT_EQ(identity.numberWildcard, expected.numberWildcard);
    EXPECT_EQ(identity.unitNumber, expected.unitNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Identity,
    ::testing::Values(
        //          serial            valid  flow model major minor wildcard unit
        SerialCase{"JXbh10203",       true,  1,   0,    102,  3,    false,   0},
        SerialCase{"JXah00102",       true,  0,   0,    1,    2,    false,   0},
        SerialCase{"jxap02701",       true,  0,   1,    27,   1,    false,   0},
        SerialCase{"JXAH00101",       true,  0,   0,    1,    1,    false,   0},
        SerialCase{"JXah001020042",   true,  0,   0,    1,    2,    false,   42},
        SerialCase{"JXah00102xxxx",   true,  0,   0,    1,    2,    true,    0},
        SerialCase{"JXah00102XxXx",   true,  0,   0,    1,    2,    true,    0},
        // rejected before any field: length, prefix
        SerialCase{"JXah0010",        false, 0,   0,    0,    0,    false,   0},
        SerialCase{"JXah0010200",     false, 0,   0,    0,    0,    false,   0},
        SerialCase{"JXah00102000000", false, 0,   0,    0,    0,    false,   0},
        SerialCase{"",                false, 0,   0,    0,    0,    false,   0},
        SerialCase{"KXah00102",       false, 0,   0,    0,    0,    false,   0},
        // rejected part way: the fields reached so far are kept
        SerialCase{"JXch00102",       false, 0,   0,    0,    0,    false,   0},
        SerialCase{"JXbx00102",       false, 1,   0,    0,    0,    false,   0},
        SerialCase{"JXah0a102",       false, 0,   0,    0,    0,    false,   0},
        SerialCase{"JXah001b2",       false, 0,   0,    1,    0,    false,   0},
        SerialCase{"JXah+0102",       false, 0,   0,    0,    0,    false,   0},
        SerialCase{"JXah1020312xx",   false, 0,   0,    102,  3,    false,   0}));

USBDevicePtr deviceWithSerial(const char *serial)
{
    USBDevicePtr device(new USBFtdiDevice());
    device->serialNumber = QString::fromLatin1(serial);
    return device;
}

TEST(Identity, HardwareVersionIsTakenWhetherOrNotTheIdentityIsValid)
{
    EXPECT_EQ(hardwareVersion(*deviceWithSerial("JXah02701")), VersionNumber(27, 1));
    EXPECT_EQ(hardwareVersion(*deviceWithSerial("JXah1020312xx")), VersionNumber(102, 3));
    EXPECT_EQ(hardwareVersion(*deviceWithSerial("JXah001b2")), VersionNumber(1, 0));
    // the interface letter of an FT2232H makes the serial ten characters long
    EXPECT_EQ(hardwareVersion(*deviceWithSerial("JXbh01001B")), VersionNumber(0, 0));
}

TEST(Identity, OwnPrefixIsCaseSensitive)
{
    EXPECT_TRUE(hasOwnSerialPrefix(*deviceWithSerial("JXah00102")));
    EXPECT_FALSE(hasOwnSerialPrefix(*deviceWithSerial("jxah00102")));
    EXPECT_FALSE(hasOwnSerialPrefix(*deviceWithSerial("")));
}

TEST(VersionNumberOrder, ComparesMajorThenMinor)
{
    EXPECT_TRUE(VersionNumber(2, 1) >= VersionNumber(2, 1));
    EXPECT_TRUE(VersionNumber(3, 0) >= VersionNumber(2, 9));
    EXPECT_FALSE(VersionNumber(2, 0) >= VersionNumber(2, 1));
    EXPECT_TRUE(VersionNumber(1, 9) < VersionNumber(2, 0));
}

} // namespace
