// The messages between the library and velmord: what is encoded decodes to the same, and
// anything malformed or oversized is refused rather than read past its end.
#include "BrokerMessage.h"
#include "BrokerRoute.h"
#include "VelmorLibExtras.h"

#include <gtest/gtest.h>

namespace {

std::optional<BrokerMessage> decodeEncoded(const std::string &encoded)
{
    return BrokerMessage::decode(encoded.data() + BrokerMessage::kLengthPrefix, encoded.size() - BrokerMessage::kLengthPrefix);
}

TEST(BrokerMessage, WhatIsEncodedDecodesToTheSame)
{
    const BrokerMessage message(BrokerMessage::Call, {BrokerField::of(50), BrokerField::ofBytes(std::string("JX\0ah", 5)),
                                                      BrokerField::null(), BrokerField::of(INT64_MIN),
                                                      BrokerField::ofBytes("")});
    const std::string encoded = message.encode();
    EXPECT_EQ(*BrokerMessage::announcedLength(encoded.data()), encoded.size() - BrokerMessage::kLengthPrefix);
    const std::optional<BrokerMessage> decoded = decodeEncoded(encoded);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->kind(), BrokerMessage::Call);
    ASSERT_EQ(decoded->fields().size(), 5u);
    EXPECT_EQ(decoded->fields()[0].integer, 50);
    EXPECT_EQ(decoded->fields()[1].bytes, std::string("JX\0ah", 5));
    EXPECT_EQ(decoded->fields()[2].type, BrokerField::Null);
    EXPECT_EQ(decoded->fields()[3].integer, INT64_MIN);
    EXPECT_EQ(decoded->fields()[4].type, BrokerField::Bytes);
    EXPECT_EQ(decoded->fields()[4].bytes, "");
}

TEST(BrokerMessage, MalformedBodiesAreRefused)
{
    const struct
    {
        const char *what;
        std::string body;
    } cases[] = {
        {"too short for a header", std::string("\x03\x00", 2)},
        {"unknown kind", std::string("\x09\x00\x00", 3)},
        {"kind zero", std::string("\x00\x00\x00", 3)},
        {"a field announced and missing", std::string("\x03\x01\x00", 3)},
        {"an unknown field type", std::string("\x03\x01\x00\x07", 4)},
        {"an integer cut short", std::string("\x03\x01\x00\x01\x01\x02", 6)},
        {"bytes longer than the message", std::string("\x03\x01\x00\x02\xff\xff\xff\xff" "ab", 10)},
        {"bytes left over", std::string("\x03\x00\x00\x00", 4)},
    };
    for (const auto &entry : cases)
        EXPECT_FALSE(BrokerMessage::decode(entry.body.data(), entry.body.size())) << entry.what;
}

TEST(BrokerMessage, AnnouncedLengthsBeyondTheLargestMessageAreRefused)
{
    const struct
    {
        const char *prefix;
        bool accepted;
    } cases[] = {
        {"\x03\x00\x00\x00", true},
        {"\x02\x00\x00\x00", false},
        {"\x00\x00\x01\x00", true},   // 64 KiB exactly
        {"\x01\x00\x01\x00", false},  // one byte more
        {"\xff\xff\xff\xff", false},
    };
    for (const auto &entry : cases)
        EXPECT_EQ(BrokerMessage::announcedLength(entry.prefix).has_value(), entry.accepted);
}

// The library sends a structure whole only when its size is the library's: a caller's wrong
// size goes as the size alone, so that nothing past the caller's structure is read.
TEST(BrokerRoute, AStructureWithAWrongSizeIsSentAsItsSizeAlone)
{
    VelmorUnitInfo info{};
    info.size = sizeof info;
    EXPECT_EQ(BrokerRoute::field(BrokerRoute::Sized<VelmorUnitInfo>{&info}).bytes.size(), sizeof info);
    info.size = 3;
    EXPECT_EQ(BrokerRoute::field(BrokerRoute::Sized<VelmorUnitInfo>{&info}).bytes.size(), sizeof info.size);
    EXPECT_EQ(BrokerRoute::field(BrokerRoute::Sized<VelmorUnitInfo>{nullptr}).type, BrokerField::Null);
    const int64_t values[40] = {};
    EXPECT_EQ(BrokerRoute::field(BrokerRoute::Arguments{values, 40}).bytes.size(), 16 * sizeof(int64_t));
    EXPECT_EQ(BrokerRoute::field(BrokerRoute::Arguments{values, -5}).bytes.size(), 0u);
}

} // namespace
