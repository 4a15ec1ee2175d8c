// Bulk IN transfers of the FT232R: two modem-status bytes lead every packet of 64 bytes.
#include "InPacketFramer.h"

#include <gtest/gtest.h>

using velmor_usb::InPacketFramer;
using velmor_usb::ModemStatus;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes counting(size_t count)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

TEST(InPacketFramer, DataRoomLeavesTwoStatusBytesInEveryPacket)
{
    const std::pair<size_t, size_t> cases[] = {{0, 0}, {2, 0}, {3, 1}, {63, 61}, {64, 62}, {65, 62}, {66, 62},
                                               {67, 63}, {128, 124}, {512, 496}, {0x2000, 0x2000 / 64 * 62}};
    for (const auto &c : cases)
        EXPECT_EQ(InPacketFramer::dataRoom(c.first), c.second) << c.first;
}

TEST(InPacketFramer, EveryPacketOpensWithTheModemStatus)
{
    const ModemStatus status;
    EXPECT_EQ(InPacketFramer::frame({}, status), (Bytes{0x31, 0x60}));
    EXPECT_EQ(InPacketFramer::frame({0xAB}, status), (Bytes{0x31, 0x60, 0xAB}));

    const Bytes full = InPacketFramer::frame(counting(62), status);
    ASSERT_EQ(full.size(), 64u);
    EXPECT_EQ(Bytes(full.begin() + 2, full.end()), counting(62));

    const Bytes two = InPacketFramer::frame(counting(65), status);
    ASSERT_EQ(two.size(), 69u);
    EXPECT_EQ(Bytes(two.begin() + 64, two.end()), (Bytes{0x31, 0x60, 62, 63, 64}));
}

} // namespace
