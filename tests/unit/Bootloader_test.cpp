// The bootloader client end to end: a driver over an in-memory channel that answers as a
// unit's bootloader would.
#include "Bootloader.h"
#include "USBDriver.h"
#include "USBFtdiDevice.h"
#include "USBPacketProtocol.h"

#include "FakeSocket.h"

#include <QMap>
#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

namespace {

constexpr quint8 kStartOpcode = 3;
constexpr quint8 kInformationOpcode = 20;
constexpr quint8 kPreparePageOpcode = 21;
constexpr quint8 kReadPageOpcode = 18;

QByteArray informationPage(int size, quint16 firmwareMajor, quint16 firmwareMinor)
{
    QByteArray page(size, '\0');
    page.replace(0, 4, QByteArray("\x35\x72\xD1\x01", 4));
    page.replace(44, 9, "JXAH01001");
    page[64] = char(firmwareMajor >> 8);
    page[65] = char(firmwareMajor & 0xFF);
    page[66] = char(firmwareMinor >> 8);
    page[67] = char(firmwareMinor & 0xFF);
    return page;
}

// A unit's bootloader: answers each framed request with the status and data set for its opcode.
struct SimulatedUnit
{
    struct Answer
    {
        quint8 status = 0;
        QByteArray data;
    };

    SimulatedUnit()
        : device(new USBFtdiDevice({channel.clone()}))
    {
        answers[kInformationOpcode].data = hexBytes("FF 00 80 01");
        answers[kReadPageOpcode].data = informationPage(128, 2, 1) + hexBytes("FF FF");
        channel.shared().responder = [this](const QByteArray &written) { return answer(written); };
    }

    QByteArray answer(const QByteArray &written)
    {
        if (written.size() < 8)
            return QByteArray();  // a raw command: the bootloader does not answer
        const Answer &reply = answers.value(static_cast<quint8>(written.at(5)));
        QByteArray packet = written.left(5);
        packet.append(char(reply.status));
        packet.append(char(reply.data.size() & 0xFF));
        packet.append(char(reply.data.size() >> 8));
        return packet + reply.data;
    }

    static qint32 idOf(const QByteArray &packet)
    {
        return qint32(quint8(packet.at(1))) | qint32(quint8(packet.at(2))) << 8 | qint32(quint8(packet.at(3))) << 16
             | qint32(quint8(packet.at(4))) << 24;
    }

    FakeSocket channel;
    USBDevicePtr device;
    QMap<quint8, Answer> answers;
};

class BootloaderClient : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(driver.open(unit.device, 500000).isOk()); }

    SimulatedUnit unit;
    USBDriver driver{boost::make_shared<USBPacketProtocol>()};
    Bootloader bootloader;
};

TEST_F(BootloaderClient, StartCommandIsTheSingleByte03)
{
    EXPECT_TRUE(bootloader.runStartCommand(driver).isOk());
    EXPECT_EQ(unit.channel.writes(), QList<QByteArray>{QByteArray(1, char(kStartOpcode))});
}

TEST_F(BootloaderClient, ReadsInformationAndPageAndStoresTheFirmwareVersion)
{
    DeviceInformation information;
    quint8 flagBit = 0;
    const USBResult result = bootloader.readDeviceInformation(driver, information, &flagBit);
    ASSERT_TRUE(result.isOk()) << result.message.toStdString();
    EXPECT_EQ(flagBit, 1);
    EXPECT_TRUE(information.valid);
    EXPECT_EQ(information.serialNumber, QStringLiteral("JXAH01001"));
    EXPECT_EQ(unit.device->deviceVersion, VersionNumber(2, 1));

    const QList<QByteArray> writes = unit.channel.writes();
    ASSERT_EQ(writes.size(), 3);
    const quint8 opcodes[] = {kInformationOpcode, kPreparePageOpcode, kReadPageOpcode};
    const qint32 firstId = SimulatedUnit::idOf(writes[0]);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(writes[i].size(), 8);  // the page size travels in no payload
        EXPECT_EQ(quint8(writes[i].at(0)), 0x05);
        EXPECT_EQ(SimulatedUnit::idOf(writes[i]), firstId + i);
        EXPECT_EQ(quint8(writes[i].at(5)), opcodes[i]);
    }
}

TEST_F(BootloaderClient, PageSizesAtTheEdgesAreRead)
{
    struct EdgeCase
    {
        const char *information;
        int pageSize;
    };
    const EdgeCase cases[] = {{"00 64", 100}, {"01 00", 256}, {"FF FF FD 00", 0xFFFD}};
    for (const EdgeCase &c : cases) {
        unit.answers[kInformationOpcode].data = hexBytes(c.information);
        unit.answers[kReadPageOpcode] = {91, informationPage(c.pageSize, 3, 0) + hexBytes("FF FF")};
        unit.device->deviceVersion = VersionNumber();
        DeviceInformation information;
        quint8 flagBit = 9;
        const USBResult result = bootloader.readDeviceInformation(driver, information, &flagBit);
        EXPECT_TRUE(result.isOk()) << c.information << ": " << result.message.toStdString();
        EXPECT_EQ(flagBit, 0) << c.information;
        EXPECT_EQ(unit.device->deviceVersion, VersionNumber(3, 0)) << c.information;
    }
}

struct FailureCase
{
    const char *name;
    quint8 opcode;
    quint8 status;
    QByteArray data;
    const char *message;
    int requestsSent;
};

void PrintTo(const FailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class ReadFailure : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(ReadFailure, EndsTheReadWithoutStoringAVersion)
{
    const FailureCase &c = GetParam();
    SimulatedUnit unit;
    USBDriver driver(boost::make_shared<USBPacketProtocol>());
    ASSERT_TRUE(driver.open(unit.device, 500000).isOk());
    unit.device->deviceVersion = VersionNumber(1, 7);
    unit.answers[c.opcode] = {c.status, c.data};

    DeviceInformation information;
    quint8 flagBit = 9;
    const USBResult result = Bootloader().readDeviceInformation(driver, information, &flagBit);
    EXPECT_EQ(result.code, 2u);
    EXPECT_EQ(result.message, QString::fromLatin1(c.message));
    EXPECT_EQ(unit.channel.writes().size(), c.requestsSent);
    EXPECT_EQ(unit.device->deviceVersion, VersionNumber(1, 7));
    EXPECT_FALSE(information.decoded);
}

const char kCorrupt[] = "Data from device is corrupt";

INSTANTIATE_TEST_SUITE_P(
    Bootloader, ReadFailure,
    ::testing::Values(
        FailureCase{"InformationBusy", kInformationOpcode, 2, hexBytes("01 00"), "Target device is busy", 1},
        FailureCase{"InformationOfOneByte", kInformationOpcode, 0, hexBytes("01"), kCorrupt, 1},
        FailureCase{"InformationOfThreeBytes", kInformationOpcode, 0, hexBytes("FF 00 80"), kCorrupt, 1},
        FailureCase{"InformationOfFiveBytes", kInformationOpcode, 0, hexBytes("FF 00 80 01 00"), kCorrupt, 1},
        FailureCase{"LongInformationWithoutFF", kInformationOpcode, 0, hexBytes("01 00 80 01"), kCorrupt, 1},
        FailureCase{"PageSizeZero", kInformationOpcode, 0, hexBytes("00 00"), kCorrupt, 1},
        FailureCase{"PageSizeTooSmall", kInformationOpcode, 0, hexBytes("00 63"), kCorrupt, 1},
        FailureCase{"PageSizeBeyondAPacket", kInformationOpcode, 0, hexBytes("FF FE"), kCorrupt, 1},
        FailureCase{"LargestPageSize", kInformationOpcode, 0, hexBytes("FF FF FF 01"), kCorrupt, 1},
        FailureCase{"PreparationLocked", kPreparePageOpcode, 3, QByteArray(), "Device was not unlocked for write", 2},
        FailureCase{"PageEndingFF00", kReadPageOpcode, 0, informationPage(128, 2, 1) + hexBytes("FF 00"), kCorrupt, 3},
        FailureCase{"PageOneByteShort", kReadPageOpcode, 0, informationPage(127, 2, 1) + hexBytes("FF FF"),
                    "Unexpected packet length.", 3},
        FailureCase{"PageStatusUnknown", kReadPageOpcode, 4, QByteArray(),
                    "Instruction stream was corrupted (unexpected return value [4])", 3}),
    [](const ::testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.name); });

} // namespace
