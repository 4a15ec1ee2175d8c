// The FT232R's baud divisor as the set-baud-rate request carries it, and back.
#include "BaudDivisor.h"

#include <gtest/gtest.h>

using velmor_usb::BaudDivisor;

namespace {

TEST(BaudDivisor, DecodesEveryEighthAndTheSpecialDivisors)
{
    struct Case { uint16_t value, index; uint32_t baud; };
    const Case cases[] = {
        {0x0000, 0, 3000000},       // divisor 0: 3 Mbaud
        {0x0001, 0, 2000000},       // divisor 1: 2 Mbaud
        {0x0002, 0, 1500000},
        {0x0006, 0, 500000},        // the units' line
        {0x4138, 0, 9600},          // 312.5
        {0x8003, 0, 923077},        // 3.25
        {0xC04E, 0, 38400},         // 78.125
        {0x0002, 1, 1263158},       // 2.375: the sub-integer code's third bit in wIndex
        {0x4002, 1, 1142857},       // 2.625
        {0x8002, 1, 1090909},       // 2.75
        {0xC002, 1, 1043478},       // 2.875
        {0xFFFF, 1, 183},           // 16383.875, the largest divisor
        {0x0006, 0x0100, 500000},   // the port number in wIndex's high byte is not part of it
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.value << " " << c.index);
        EXPECT_EQ(BaudDivisor(c.value, c.index).baudRate(), c.baud);
    }
}

TEST(BaudDivisor, EncodesWhatItDecodes)
{
    for (uint32_t baud : {300u, 1200u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 500000u, 921600u,
                          1000000u, 2000000u, 3000000u}) {
        SCOPED_TRACE(baud);
        const BaudDivisor divisor = BaudDivisor::forBaudRate(baud);
        const uint32_t decoded = BaudDivisor(divisor.value(), divisor.index()).baudRate();
        EXPECT_LE(decoded, baud + baud / 100);
        EXPECT_GE(decoded, baud - baud / 100);
    }
    EXPECT_EQ(BaudDivisor::forBaudRate(500000).value(), 6);
    EXPECT_EQ(BaudDivisor::forBaudRate(500000).index(), 0);
}

} // namespace
