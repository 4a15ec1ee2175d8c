// Opcodes, raw flags, reply lengths, statuses and the page cut of bootloader requests.
#include "BootloaderCommRequest.h"

#include "FakeSocket.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

namespace {

TEST(BootloaderRequest, OpcodesAndRawFlagsOfBothVariants)
{
    struct OpcodeCase
    {
        quint32 command;
        quint8 variant0;
        quint8 variant1;
        bool rawInVariant1;
    };
    const OpcodeCase cases[] = {
        {0, 0, 2, true},     {1, 0, 9, true},     {2, 'E', 3, true},   {3, 0, 7, true},
        {4, '*', 4, true},   {5, 0, 8, true},     {6, 'C', 16, false}, {7, 'D', 17, false},
        {8, 'd', 18, false}, {9, 'P', 19, false}, {10, 'p', 20, false}, {11, 's', 21, false},
        {12, 'a', 22, false}, {13, 'A', 23, false}, {14, 'S', 24, false}, {15, 0, 6, true},
        {16, 0, 10, true},   {17, 0, 25, false},  {18, 0, 26, false},  {19, 0, 27, false},
        {20, 0, 28, false},  {21, 0, 0, false},
    };
    for (const OpcodeCase &c : cases) {
        const BootloaderCommRequest variant0(0, c.command);
        const BootloaderCommRequest variant1(1, c.command);
        EXPECT_EQ(variant0.commandCode(), c.variant0) << "command " << c.command;
        EXPECT_EQ(variant1.commandCode(), c.variant1) << "command " << c.command;
        EXPECT_FALSE(variant0.isRaw()) << "command " << c.command;
        EXPECT_EQ(variant1.isRaw(), c.rawInVariant1) << "command " << c.command;
        EXPECT_TRUE(variant1.isCommand(static_cast<qint32>(c.command)));
        EXPECT_FALSE(variant1.isCommand(static_cast<qint32>(c.command) + 1));
        EXPECT_TRUE(variant1.payload().isEmpty());
    }
}

TEST(BootloaderRequest, ReplyLengthsAndParsers)
{
    EXPECT_EQ(BootloaderCommRequest(1, 8, 128).expectedReplyLength(), 130);
    EXPECT_EQ(BootloaderCommRequest(1, 17).expectedReplyLength(), 2);
    for (quint32 command : {0u, 7u, 9u, 11u, 16u, 18u, 20u})
        EXPECT_EQ(BootloaderCommRequest(1, command).expectedReplyLength(), 0) << "command " << command;
    EXPECT_TRUE(BootloaderCommRequest(1, 10).hasCustomReplyParser());
    EXPECT_FALSE(BootloaderCommRequest(1, 8, 128).hasCustomReplyParser());
}

TEST(BootloaderRequestDeathTest, ReplyLengthOfAnUnknownCommandStopsTheProgram)
{
    EXPECT_DEATH(BootloaderCommRequest(1, 21).expectedReplyLength(), "ASSERT: \"0\"");
}

TEST(BootloaderRequest, StatusesAreSuccessOrErrors)
{
    struct StatusCase
    {
        quint8 status;
        quint32 code;
        const char *message;
    };
    const StatusCase cases[] = {
        {0, 0, ""},
        {91, 0, ""},
        {92, 0, ""},
        {1, 2, "Instruction was not recognised by target device"},
        {2, 2, "Target device is busy"},
        {3, 2, "Device was not unlocked for write"},
        {4, 2, "Instruction stream was corrupted (unexpected return value [4])"},
        {90, 2, "Instruction stream was corrupted (unexpected return value [90])"},
        {255, 2, "Instruction stream was corrupted (unexpected return value [255])"},
    };
    const BootloaderCommRequest request(1, 10);
    for (const StatusCase &c : cases) {
        const USBResult result = request.checkStatus(c.status);
        EXPECT_EQ(result.code, c.code) << int(c.status);
        EXPECT_EQ(result.message, QString::fromLatin1(c.message)) << int(c.status);
    }
}

TEST(BootloaderRequest, PageReplyIsCutAndChecked)
{
    BootloaderCommRequest request(1, 8, 128);
    EXPECT_FALSE(request.isPageIntact());
    const QByteArray page(128, 'x');
    request.setReplyData(page + hexBytes("FF FF"));
    EXPECT_TRUE(request.isPageIntact());
    EXPECT_EQ(request.replyData(), page);
    EXPECT_EQ(request.receivedData().size(), 130);

    request.setReplyData(page + hexBytes("FF 00"));
    EXPECT_FALSE(request.isPageIntact());
    request.setReplyData(page + hexBytes("00 FF"));
    EXPECT_FALSE(request.isPageIntact());
    request.setReplyData(page.left(127) + hexBytes("FF FF FF"));  // right size, third-last byte FF
    EXPECT_TRUE(request.isPageIntact());
    request.setReplyData(page + hexBytes("FF"));
    EXPECT_FALSE(request.isPageIntact());

    BootloaderCommRequest noPage(1, 8, 0);
    noPage.setReplyData(hexBytes("FF FF"));
    EXPECT_FALSE(noPage.isPageIntact());
    EXPECT_EQ(noPage.replyData(), hexBytes("FF FF"));
}

TEST(BootloaderRequestDeathTest, PageOfTheWrongSizeIsNotCut)
{
    BootloaderCommRequest request(1, 8, 128);
    request.setReplyData(QByteArray(129, 'x'));
    EXPECT_DEATH(request.replyData(), "m_receivedData.size\\(\\) == m_pageSize\\+2");
}

TEST(BootloaderRequest, InformationReplyIsReadInItsShortOrLongForm)
{
    struct RawCase
    {
        const char *sent;
        const char *read;
    };
    const RawCase cases[] = {
        {"01 00 77", "01 00"},
        {"FF 00 80 01 77", "FF 00 80 01"},
    };
    for (const RawCase &c : cases) {
        auto socket = boost::make_shared<FakeSocket>();
        socket->deviceSends(hexBytes(c.sent));
        BootloaderCommRequest request(1, 10);
        EXPECT_TRUE(request.receiveRaw(socket).isOk());
        EXPECT_EQ(request.replyData(), hexBytes(c.read));
    }

    auto shortSocket = boost::make_shared<FakeSocket>();
    shortSocket->deviceSends(hexBytes("FF 00"));
    BootloaderCommRequest cutOff(1, 10);
    EXPECT_FALSE(cutOff.receiveRaw(shortSocket).isOk());

    BootloaderCommRequest parsed(1, 10);
    EXPECT_TRUE(parsed.parseReply(hexBytes("FF 00 80 01")).isOk());
    EXPECT_EQ(parsed.replyData(), hexBytes("FF 00 80 01"));
}

TEST(BootloaderRequest, SharesTheRequestCounterAndKeepsItsResult)
{
    BootloaderCommRequest first(1, 10);
    BootloaderCommRequest second(1, 11);
    EXPECT_EQ(second.id(), first.id() + 1);
    EXPECT_EQ(USBICommRequest::nextRequestId(), second.id() + 1);
    EXPECT_FALSE(first.hasResult());
    EXPECT_TRUE(first.result().isOk());
    first.setResult(USBResult(QStringLiteral("Target device is busy"), 2));
    EXPECT_TRUE(first.hasResult());
    EXPECT_EQ(first.result().message, QStringLiteral("Target device is busy"));
}

} // namespace
