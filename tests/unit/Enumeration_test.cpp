// Grouping the listed interfaces of an emulated bus into units.
#include "Bench.h"
#include "USBFtdiBufferedSocket.h"
#include "USBFtdiDevice.h"

#include <gtest/gtest.h>

namespace {

using namespace bench;

const uint32_t kFt232rId = 0x04036001;
const uint32_t kFt2232hId = 0x04036010;

QStringList serialsOf(const QList<USBDevicePtr> &devices)
{
    QStringList serials;
    for (const USBDevicePtr &device : devices)
        serials << device->serialNumber;
    return serials;
}

TEST(Enumeration, TwoFt2232hUnitsGiveTwoDevicesWithCommandLineFirst)
{
    set({ft232r("JXah00102"), unit(Chip::FT2232H, "JXbh01001"), unit(Chip::FT2232H, "JXbh01002")});
    const QList<USBDevicePtr> devices = USBFtdiDevice::enumerate(false);
    ASSERT_EQ(devices.size(), 3);
    // listed: 0 JXah00102, 1 JXbh01001A, 2 JXbh01001B, 3 JXbh01002A, 4 JXbh01002B
    for (int d = 1; d <= 2; ++d) {
        const auto *device = static_cast<const USBFtdiDevice *>(devices[d].get());
        ASSERT_EQ(device->sockets().size(), 2);
        const auto *commandLine = dynamic_cast<const USBFtdiSocket *>(device->mainSocket().get());
        ASSERT_NE(commandLine, nullptr);
        EXPECT_EQ(dynamic_cast<const USBFtdiBufferedSocket *>(commandLine), nullptr);
        EXPECT_TRUE(commandLine->uartMode());
        EXPECT_EQ(commandLine->deviceIndex(), quint32(2 * d));
        const auto *data = dynamic_cast<const USBFtdiBufferedSocket *>(device->secondarySockets().at(0).get());
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->deviceIndex(), quint32(2 * d - 1));
        EXPECT_EQ(data->bufferCapacity(), 65280u);
        EXPECT_EQ(device->usbId, kFt2232hId);
    }
    EXPECT_EQ(serialsOf(devices), QStringList({"JXah00102", "JXbh01001A", "JXbh01002A"}));
    EXPECT_TRUE(devices[0]->secondarySockets().isEmpty());
}

TEST(Enumeration, IncompleteOrCrowdedGroupsGiveNoDevice)
{
    set({BenchItem::of(bare(6, kFt2232hId, 0x200, "JXbh01001A")),      // a lone FT2232H interface
         BenchItem::of(bare(5, kFt232rId, 0x300, "JXah00101")),         // two FT232R on one location
         BenchItem::of(bare(5, kFt232rId, 0x300, "JXah00102")),
         BenchItem::of(bare(5, 0, 0x400, "JXah00103")),                 // ID 0: skipped
         BenchItem::of(bare(5, kFt232rId, 0x500, "JXah00104"))});
    EXPECT_EQ(serialsOf(USBFtdiDevice::enumerate(false)), QStringList({"JXah00104"}));
}

TEST(Enumeration, GroupsComeOutInAscendingLocationId)
{
    set({BenchItem::of(bare(5, kFt232rId, 0x900, "JXah00101")), BenchItem::of(bare(8, 0x04036014, 0x100, "JXah00102")),
         BenchItem::of(bare(9, 0x04036015, 0x500, "JXah00103"))});
    const QList<USBDevicePtr> devices = USBFtdiDevice::enumerate(false);
    EXPECT_EQ(serialsOf(devices), QStringList({"JXah00102", "JXah00103", "JXah00101"}));
    EXPECT_EQ(devices[0]->mainSocket()->deviceIndex(), 1u);
}

TEST(Enumeration, OwnDevicesOnlyDropsOtherPrefixesCaseSensitively)
{
    set({ft232r("JXah00102"), ft232r("jxah00102"), ft232r("ABCDEFGHI")});
    EXPECT_EQ(serialsOf(USBFtdiDevice::enumerate(true)), QStringList({"JXah00102"}));
    EXPECT_EQ(USBFtdiDevice::enumerate(false).size(), 3);
}

TEST(Enumeration, FailingListingGivesNoDevices)
{
    set({ft232r()});
    VelmorEmulator::failCall("FT_CreateDeviceInfoList", 4);
    EXPECT_TRUE(USBFtdiDevice::enumerate(false).isEmpty());
}

TEST(Enumeration, UnterminatedAndOddTextsStayWithinTheirFields)
{
    const std::string sixteen = "JXah00102ABCDEFG";      // exactly 16 bytes, no terminator
    const std::string sixtyFour(64, 'd');
    set({BenchItem::of(bare(5, kFt232rId, 0x100, sixteen, sixtyFour)),
         BenchItem::of(bare(5, kFt232rId, 0x200, std::string("\xff\x01JX\0xx", 7), "")),
         BenchItem::of(bare(5, kFt232rId, 0x300, "", ""))});
    const QList<USBDevicePtr> devices = USBFtdiDevice::enumerate(false);
    ASSERT_EQ(devices.size(), 3);
    EXPECT_EQ(devices[0]->serialNumber, QString::fromLatin1(sixteen.c_str()));
    EXPECT_EQ(devices[0]->description.size(), 64);
    EXPECT_EQ(devices[1]->serialNumber, QString::fromLatin1("\xff\x01JX"));
    EXPECT_TRUE(devices[2]->serialNumber.isEmpty());
}

TEST(Enumeration, ListThatChangesBetweenCountAndFetchIsReadSafely)
{
    set({ft232r("JXah00101"), ft232r("JXah00102")});
    // the bus grows between the two calls: only as many nodes as were counted are fetched
    VelmorEmulator::changeBenchBeforeNextListFetch(
        {BenchItem::of(ft232r("JXah00103")), BenchItem::of(ft232r("JXah00104")), BenchItem::of(ft232r("JXah00105"))});
    EXPECT_EQ(serialsOf(USBFtdiDevice::enumerate(false)), QStringList({"JXah00103", "JXah00104"}));
    // and shrinks: only the nodes fetched count
    VelmorEmulator::changeBenchBeforeNextListFetch({BenchItem::of(ft232r("JXah00106"))});
    EXPECT_EQ(serialsOf(USBFtdiDevice::enumerate(false)), QStringList({"JXah00106"}));
}

TEST(Enumeration, CloneSharesTheChannels)
{
    set({ft232r()});
    const QList<USBDevicePtr> devices = USBFtdiDevice::enumerate(true);
    ASSERT_EQ(devices.size(), 1);
    const auto *device = static_cast<const USBFtdiDevice *>(devices[0].get());
    const USBDevicePtr copy = device->clone();
    EXPECT_EQ(copy->serialNumber, device->serialNumber);
    EXPECT_EQ(copy->mainSocket().get(), device->mainSocket().get());
}

} // namespace
