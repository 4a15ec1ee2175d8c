// Decoding of the bootloader information reply and of the information page.
#include "BootloaderInfo.h"
#include "DeviceInformation.h"

#include "FakeSocket.h"

#include <gtest/gtest.h>

namespace {

TEST(BootloaderInfo, ShortAndLongRepliesGivePageSizeAndFlag)
{
    struct InfoCase
    {
        const char *reply;
        quint32 pageSize;
        quint8 flagBit;
    };
    const InfoCase cases[] = {
        {"01 00", 256, 0},
        {"00 80", 128, 0},
        {"FF FF", 0xFFFF, 0},
        {"FF 00 80 01", 128, 1},
        {"FF 01 00 FE", 256, 0},
        {"FF 02 00 03", 512, 1},
    };
    for (const InfoCase &c : cases) {
        BootloaderInfo info;
        ASSERT_TRUE(BootloaderInfo::decode(hexBytes(c.reply), &info)) << c.reply;
        EXPECT_EQ(info.pageSize, c.pageSize) << c.reply;
        EXPECT_EQ(info.flagBit, c.flagBit) << c.reply;
    }
}

TEST(BootloaderInfo, MalformedRepliesAreRefused)
{
    for (const char *reply : {"", "01", "FF 00 80", "FF 00 80 01 00", "01 00 80 01", "FE 00 80 01"}) {
        BootloaderInfo info;
        info.pageSize = 7;
        EXPECT_FALSE(BootloaderInfo::decode(hexBytes(reply), &info)) << reply;
        EXPECT_EQ(info.pageSize, 7u) << reply;
    }
}

// An information page with the header, the given format and serial number, firmware 2.1 and
// the numbers A to F set to 1 to 6.
QByteArray informationPage(quint8 format, const QByteArray &serialNumber, int size = 128)
{
    QByteArray page(size, '\0');
    page.replace(0, 4, QByteArray("\x35\x72\xD1", 3) + char(format));
    page.replace(4, 9, "Stepper A");
    page.replace(44, serialNumber.size(), serialNumber);
    const QByteArray numbers = hexBytes("00 01 00 02 00 02 00 01 00 03 00 04 00 05 00 06");
    page.replace(60, numbers.size(), numbers);
    return page;
}

QByteArray entry(const QByteArray &label, const char *numbers)
{
    QByteArray bytes(1, '\x01');
    bytes += label.leftJustified(16, '\0', true);
    return bytes + hexBytes(numbers);
}

TEST(DeviceInformation, FormatOnePageIsDecoded)
{
    const DeviceInformation information = DeviceInformation::fromPage(informationPage(1, "JXAH01001"));
    EXPECT_TRUE(information.decoded);
    EXPECT_TRUE(information.valid);
    EXPECT_EQ(information.name, QStringLiteral("Stepper A"));
    EXPECT_EQ(information.serialNumber, QStringLiteral("JXAH01001"));
    EXPECT_EQ(information.numberA, 1);
    EXPECT_EQ(information.numberB, 2);
    EXPECT_EQ(information.firmwareMajor, 2);
    EXPECT_EQ(information.firmwareMinor, 1);
    EXPECT_EQ(information.numberC, 3);
    EXPECT_EQ(information.numberD, 4);
    EXPECT_EQ(information.numberE, 5);
    EXPECT_EQ(information.numberF, 0);  // format 1 has no number F and no entries
    EXPECT_TRUE(information.entries.isEmpty());
}

TEST(DeviceInformation, TextsAreLatinOneCutAtTheirFirstZeroAndTheirWidth)
{
    QByteArray page = informationPage(1, "JXAH01001");
    page.replace(4, 40, QByteArray("M\xFC" "ller", 6) + QByteArray(1, '\0') + QByteArray(33, 'z'));
    page.replace(44, 16, QByteArray("JXPH010011234567"));  // fills its field; number A follows
    page[60] = 'A';
    page[61] = 'B';
    const DeviceInformation information = DeviceInformation::fromPage(page);
    EXPECT_EQ(information.name, QString::fromUtf8("M\xC3\xBCller"));
    EXPECT_EQ(information.serialNumber, QStringLiteral("JXPH010011234567"));
    EXPECT_EQ(information.numberA, 0x4142);
}

TEST(DeviceInformation, SerialNumberDecidesValidityByFormat)
{
    struct ValidityCase
    {
        quint8 format;
        const char *serialNumber;
        bool valid;
    };
    const ValidityCase cases[] = {
        {1, "JXAH01001", true},  {2, "JXAH01001", true},  {1, "JXBH01001", false},
        {2, "JXBH01001", true},  {1, "jxap0", true},      {1, "JXAH", false},
        {2, "JXBX01001", false}, {2, "KXBH01001", false}, {1, "", false},
    };
    for (const ValidityCase &c : cases) {
        const DeviceInformation information = DeviceInformation::fromPage(informationPage(c.format, c.serialNumber));
        EXPECT_TRUE(information.decoded) << c.serialNumber;
        EXPECT_EQ(information.valid, c.valid) << int(c.format) << " " << c.serialNumber;
    }
}

TEST(DeviceInformation, ShortPagesAndBadHeadersAreNotRead)
{
    QByteArray badHeader = informationPage(1, "JXAH01001");
    badHeader[2] = '\xD2';
    const QByteArray pages[] = {
        informationPage(1, "JXAH01001", 99),
        badHeader,
        informationPage(0, "JXAH01001"),
        informationPage(3, "JXAH01001"),
        QByteArray(),
    };
    for (const QByteArray &page : pages) {
        const DeviceInformation information = DeviceInformation::fromPage(page);
        EXPECT_FALSE(information.valid);
        EXPECT_FALSE(information.decoded);
        EXPECT_TRUE(information.serialNumber.isEmpty());
        EXPECT_EQ(information.firmwareMajor, 0);
    }
    EXPECT_TRUE(DeviceInformation::fromPage(informationPage(1, "JXAH01001", 100)).valid);
}

TEST(DeviceInformation, FormatTwoEntriesEndAtTheFirstByteThatIsNotOne)
{
    QByteArray page = informationPage(2, "JXBH01001", 256);
    const QByteArray entries = entry("axis", "00 01 00 02 00 03 01 00") + entry("relay", "FF FF 00 00 00 00 00 07")
                             + QByteArray(1, '\x02') + entry("hidden", "00 00 00 00 00 00 00 00");
    page.replace(76, entries.size(), entries);
    const DeviceInformation information = DeviceInformation::fromPage(page);
    EXPECT_TRUE(information.valid);
    EXPECT_EQ(information.numberF, 6);
    ASSERT_EQ(information.entries.size(), 2);
    EXPECT_EQ(information.entries[0].label, QStringLiteral("axis"));
    EXPECT_EQ(information.entries[0].numbers, (std::array<quint16, 4>{1, 2, 3, 256}));
    EXPECT_EQ(information.entries[1].label, QStringLiteral("relay"));
    EXPECT_EQ(information.entries[1].numbers, (std::array<quint16, 4>{0xFFFF, 0, 0, 7}));

    EXPECT_TRUE(DeviceInformation::fromPage(informationPage(2, "JXBH01001")).entries.isEmpty());  // byte 76 is 00
}

TEST(DeviceInformation, EntriesRunningOffThePageJustEnd)
{
    // 101 bytes hold one 25-byte entry at 76 and nothing after it.
    QByteArray page = informationPage(2, "JXBH01001", 101);
    page.replace(76, 25, entry("first", "00 01 00 02 00 03 00 04"));
    EXPECT_EQ(DeviceInformation::fromPage(page).entries.size(), 1);

    page.append('\x01');  // an introducer with nothing after it
    EXPECT_EQ(DeviceInformation::fromPage(page).entries.size(), 1);

    QByteArray cutEntry = informationPage(2, "JXBH01001", 100);
    cutEntry[76] = '\x01';  // an entry that needs 25 bytes where 24 are left
    const DeviceInformation information = DeviceInformation::fromPage(cutEntry);
    EXPECT_TRUE(information.valid);
    EXPECT_TRUE(information.entries.isEmpty());
}

} // namespace
