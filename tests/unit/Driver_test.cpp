// The driver registry over in-memory channels.
#include "FakeSocket.h"
#include "ScriptedRequest.h"
#include "USBDriver.h"
#include "USBFtdiDevice.h"
#include "USBPacketProtocol.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

namespace {

struct TwoChannelUnit
{
    TwoChannelUnit()
        : device(new USBFtdiDevice({main.clone(), data.clone()}))
    {
    }

    FakeSocket main;
    FakeSocket data;
    USBDevicePtr device;
};

TEST(Driver, OpensEveryChannelAndAttachesOnlyAsManyAsItHasProtocols)
{
    auto protocol = boost::make_shared<USBPacketProtocol>();
    USBDriver driver(protocol);
    TwoChannelUnit unit;
    ASSERT_TRUE(driver.open(unit.device, 500000).isOk());
    EXPECT_TRUE(unit.main.isOpen());
    EXPECT_TRUE(unit.data.isOpen());
    EXPECT_EQ(unit.main.shared().protocolTimeoutsApplied, 1);
    EXPECT_EQ(unit.data.shared().protocolTimeoutsApplied, 0);
    EXPECT_EQ(driver.device(), unit.device);

    unit.main.shared().responder = [](const QByteArray &written) {
        QByteArray answer = written.left(5);
        return answer + hexBytes("00 00 00");
    };
    EXPECT_TRUE(driver.sendRequest(boost::make_shared<ScriptedRequest>(), 0).isOk());

    driver.close();
    EXPECT_FALSE(unit.main.isOpen());
    EXPECT_FALSE(unit.data.isOpen());
    EXPECT_FALSE(protocol->socket());
    EXPECT_FALSE(driver.device());
    driver.close();  // harmless
}

TEST(Driver, SecondOpenIsRefusedAndTheFirstStaysOpen)
{
    USBDriver driver(boost::make_shared<USBPacketProtocol>());
    TwoChannelUnit first, second;
    ASSERT_TRUE(driver.open(first.device, 500000).isOk());
    const USBResult refused = driver.open(second.device, 500000);
    EXPECT_EQ(refused.code, 2u);
    EXPECT_EQ(refused.message, QStringLiteral("Another device is already open"));
    EXPECT_TRUE(first.main.isOpen());
    EXPECT_EQ(second.main.shared().opens, 0);
}

TEST(Driver, FailingSecondaryChannelClosesTheMainOneAgain)
{
    USBDriver driver(boost::make_shared<USBPacketProtocol>());
    TwoChannelUnit unit;
    unit.data.shared().openResult = USBResult(QStringLiteral("Device not opened"), 2);
    EXPECT_EQ(driver.open(unit.device, 500000).message, QStringLiteral("Device not opened"));
    EXPECT_EQ(unit.main.shared().opens, 1);
    EXPECT_FALSE(unit.main.isOpen());
    EXPECT_FALSE(driver.device());
}

TEST(Driver, FailingMainChannelOpensNothingElse)
{
    USBDriver driver(boost::make_shared<USBPacketProtocol>());
    TwoChannelUnit unit;
    unit.main.shared().openResult = USBResult(QStringLiteral("Unknown USB serial number"), 2);
    EXPECT_EQ(driver.open(unit.device, 500000).message, QStringLiteral("Unknown USB serial number"));
    EXPECT_EQ(unit.data.shared().opens, 0);
}

TEST(Driver, RequestWithNoDeviceOpenNeverReachesTheProtocol)
{
    auto protocol = boost::make_shared<USBPacketProtocol>();
    USBDriver driver(protocol);
    auto request = boost::make_shared<ScriptedRequest>();
    EXPECT_EQ(driver.sendRequest(request, 0).message, QStringLiteral("No device is open"));
    EXPECT_FALSE(request->hasResult());
}

TEST(Driver, DestructionClosesTheDevice)
{
    TwoChannelUnit unit;
    {
        USBDriver driver(boost::make_shared<USBPacketProtocol>());
        ASSERT_TRUE(driver.open(unit.device, 500000).isOk());
    }
    EXPECT_FALSE(unit.main.isOpen());
    EXPECT_FALSE(unit.data.isOpen());
}

} // namespace
