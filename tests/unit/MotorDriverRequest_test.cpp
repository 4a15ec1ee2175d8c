// Command codes, reply lengths and reply statuses of the motor-driver command set.
#include "USBPacketFramer.h"
#include "VelmorDriverCommRequest.h"

#include "FakeSocket.h"

#include <gtest/gtest.h>

namespace {

struct CodeCase
{
    VersionNumber hardware;
    VersionNumber firmware;
    qint32 action;
    quint8 code;
    qint32 replyLength;
};

TEST(MotorDriverRequest, CodeAndReplyLengthFollowHardwareFirmwareAndAction)
{
    const CodeCase cases[] = {
        {{1, 1}, {1, 0}, 0, 0x20, 0},
        {{1, 2}, {2, 0}, 2, 0x22, 0},
        {{1, 1}, {1, 0}, 12, 0x2C, 0},
        {{27, 1}, {27, 0}, 18, 0x32, 0},
        {{10, 1}, {10, 0}, 20, 0x34, 0},
        {{1, 1}, {1, 0}, 21, 0x40, 10},
        {{10, 1}, {10, 0}, 21, 0x40, 9},
        {{1, 2}, {2, 0}, 22, 0x41, 14},
        {{1, 1}, {1, 0}, 23, 0x42, 8},
        {{1, 2}, {2, 0}, 23, 0x42, 11},
        {{1, 1}, {9, 9}, 24, 0x43, 10},
        {{1, 2}, {2, 0}, 24, 0x43, 10},
        {{1, 2}, {2, 1}, 24, 0x43, 11},
        {{1, 2}, {3, 0}, 24, 0x43, 11},
        {{10, 1}, {0, 0}, 24, 0x43, 11},
        {{1, 2}, {2, 9}, 25, 0x44, 18},
        {{1, 2}, {3, 0}, 25, 0x44, 19},
        {{1, 1}, {9, 9}, 25, 0x44, 18},
        {{10, 1}, {10, 0}, 25, 0x44, 19},
        {{27, 1}, {27, 0}, 25, 0x44, 25},
        {{27, 1}, {27, 0}, 26, 0x45, 6},
        {{1, 2}, {2, 0}, 27, 0x46, 11},
        {{10, 1}, {10, 0}, 28, 0x47, 1},
        {{27, 1}, {27, 0}, 28, 0x47, 2},
    };
    for (const CodeCase &c : cases) {
        SCOPED_TRACE(QStringLiteral("hardware %1.%2 firmware %3.%4 action %5")
                         .arg(c.hardware.major).arg(c.hardware.minor)
                         .arg(c.firmware.major).arg(c.firmware.minor).arg(c.action).toStdString());
        const VelmorDriverCommRequest request(c.hardware, c.firmware, c.action);
        EXPECT_EQ(request.commandCode(), c.code);
        EXPECT_EQ(request.expectedReplyLength(), c.replyLength);
        EXPECT_FALSE(request.isRaw());
        EXPECT_FALSE(request.hasCustomReplyParser());
    }
}

TEST(MotorDriverRequest, HardwareVersionsLackSomeActions)
{
    struct SupportCase
    {
        VersionNumber hardware;
        qint32 action;
        bool supported;
    };
    const SupportCase cases[] = {
        {{10, 1}, 12, false}, {{10, 1}, 13, false}, {{27, 1}, 12, false}, {{27, 1}, 13, false},
        {{1, 1}, 12, true},   {{1, 2}, 13, true},   {{1, 1}, 19, false},  {{1, 1}, 20, false},
        {{1, 2}, 19, true},   {{10, 1}, 20, true},  {{1, 1}, 28, false},  {{1, 2}, 28, false},
        {{10, 1}, 28, true},  {{27, 1}, 0, true},   {{27, 1}, 29, false}, {{1, 1}, -1, false},
        {{1, 3}, 0, false},   {{0, 0}, 22, false},  {{101, 1}, 22, false},
    };
    for (const SupportCase &c : cases) {
        EXPECT_EQ(VelmorDriverCommRequest::supports(c.hardware, c.action), c.supported)
            << c.hardware.major << "." << c.hardware.minor << " action " << c.action;
    }
}

TEST(MotorDriverRequest, StatusesMapToCodesAndTexts)
{
    struct StatusCase
    {
        quint8 status;
        quint32 code;
        const char *message;
    };
    const StatusCase cases[] = {
        {0, 0, ""},
        {1, 2, "Instruction was not recognised by target device"},
        {2, 2, "Target device is busy"},
        {3, 2, "Instruction stream was corrupted (unexpected return value [3])"},
        {100, 2, "Motor is busy"},
        {110, 2, "Measuring already in progress"},
        {111, 2, "Instruction stream was corrupted (unexpected return value [111])"},
        {200, 1, "Some values for the motion configuration were out of range"},
        {201, 1, "Some values for the motor supply configuration were out of range"},
        {202, 1, "Some values for the interface configuration were out of range"},
        {255, 2, "Instruction stream was corrupted (unexpected return value [255])"},
    };
    const VelmorDriverCommRequest request({1, 2}, {2, 0}, 22);
    for (const StatusCase &c : cases) {
        const USBResult result = request.checkStatus(c.status);
        EXPECT_EQ(result.code, c.code) << int(c.status);
        EXPECT_EQ(result.message, QString::fromLatin1(c.message)) << int(c.status);
        EXPECT_EQ(result.isOk(), c.status == 0) << int(c.status);
    }
}

TEST(MotorDriverRequest, PacketCarriesIdCodeAndPayload)
{
    // Bring the shared id counter to 104 so that the request below gets 105 (each test runs in
    // a process of its own, so the counter starts at 100).
    qint32 lastId = USBICommRequest::nextRequestId();
    if (lastId > 104)
        GTEST_SKIP() << "the request counter is already past 105";
    while (lastId < 104)
        lastId = USBICommRequest::nextRequestId();
    const VelmorDriverCommRequest motorInfo({1, 2}, {2, 0}, 22);
    ASSERT_EQ(motorInfo.id(), 105);
    EXPECT_EQ(USBPacketFramer::requestPacket(motorInfo), hexBytes("05 69 00 00 00 41 00 00"));

    VelmorDriverCommRequest move({1, 2}, {2, 0}, 2);
    move.setPayload(hexBytes("00 F4 01 00 00"));
    EXPECT_EQ(move.payload(), hexBytes("00 F4 01 00 00"));
    EXPECT_EQ(USBPacketFramer::requestPacket(move), hexBytes("05 6A 00 00 00 22 05 00 00 F4 01 00 00"));
}

TEST(MotorDriverRequestDeathTest, UnsupportedActionStopsTheProgram)
{
    EXPECT_DEATH(VelmorDriverCommRequest({10, 1}, {10, 0}, 12),
                 "s_commandMap.contains\\(descriptor\\) && s_commandMap\\[descriptor\\].contains\\(action\\)");
}

} // namespace
