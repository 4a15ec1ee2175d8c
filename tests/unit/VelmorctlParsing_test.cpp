// velmorctl's words before any library call: what a UNIT word names, --retry-busy, the shell's
// words, why a unit could not be opened, and JSON text that parses back whatever bytes it holds.
#include "CommandLineParser.h"
#include "JsonObject.h"
#include "OpenFailure.h"
#include "UnitAddress.h"
#include "UsageError.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

struct UnitWord
{
    std::string word;
    std::string problem; // empty: a valid UNIT
    bool isIndex;
};

void PrintTo(const UnitWord &row, std::ostream *out)
{
    *out << "'" << row.word << "'";
}

const std::string s_neither = "' is neither a device index (1 to 99) nor a serial number (such as JXah00102)";
const std::string s_beyond = "' is out of range: the library addresses units 1 to 99";

const UnitWord s_unitWords[] = {
    {"1", "", true},
    {"99", "", true},
    {"007", "", true},
    {"0", "'0" + s_beyond, true},
    {"100", "'100" + s_beyond, true},
    {"0000000000000000000001", "", true},
    {"99999999999999999999", "'99999999999999999999" + s_beyond, true},
    {"JXah00102", "", false},
    {"jxBP00102", "", false},
    {"JXah001021234", "", false},
    {"JXah00102xXxX", "", false},
    {"", "it is empty: give a device index (1 to 99) or a serial number such as JXah00102", false},
    {"-1", "'-1" + s_neither, false},
    {"+2", "'+2" + s_neither, false},
    {"0x2", "'0x2" + s_neither, false},
    {" 2", "' 2" + s_neither, false},
    {"2 ", "'2 " + s_neither, false},
    {"JXah0010", "'JXah0010" + s_neither, false},      // 8 characters
    {"JXah001021", "'JXah001021" + s_neither, false},  // 10
    {"JXch00102", "'JXch00102" + s_neither, false},    // flow-control letter
    {"JXaq00102", "'JXaq00102" + s_neither, false},    // model letter
    {"JXah0010x", "'JXah0010x" + s_neither, false},
    {"JXah00102xxx1", "'JXah00102xxx1" + s_neither, false},
    {"KXah00102", "'KXah00102" + s_neither, false},
};

class VelmorctlUnitWord : public testing::TestWithParam<UnitWord>
{
};

TEST_P(VelmorctlUnitWord, IsAnIndexASerialNumberOrAUsageError)
{
    EXPECT_EQ(UnitAddress::problem(GetParam().word), GetParam().problem);
    EXPECT_EQ(UnitAddress::isIndex(GetParam().word), GetParam().isIndex);
}

INSTANTIATE_TEST_SUITE_P(Words, VelmorctlUnitWord, testing::ValuesIn(s_unitWords));

TEST(VelmorctlUnitWord, TheParserRefusesABadUnitBeforeRunningAnything)
{
    try {
        CommandLineParser({"on", "1", "position", "-1"}, CommandLineParser::Source::CommandLine).parse();
        FAIL() << "no usage error";
    } catch (const UsageError &error) {
        EXPECT_EQ(std::string(error.what()), "position: UNIT: '-1" + s_neither);
        EXPECT_EQ(error.usage(), "usage: velmorctl position UNIT\n");
    }
}

struct RetryBusyLine
{
    std::vector<std::string> words;
    double seconds;
};

class VelmorctlRetryBusy : public testing::TestWithParam<RetryBusyLine>
{
};

TEST_P(VelmorctlRetryBusy, StandsAnywhereAnOptionMay)
{
    const ParsedLine line = CommandLineParser(GetParam().words, CommandLineParser::Source::CommandLine).parse();
    EXPECT_EQ(line.retryBusySeconds, GetParam().seconds);
    EXPECT_EQ(line.invocations.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Lines, VelmorctlRetryBusy,
                         testing::Values(RetryBusyLine{{"position", "1"}, 0.0},
                                         RetryBusyLine{{"--retry-busy", "5", "position", "1"}, 5.0},
                                         RetryBusyLine{{"--retry-busy=2.5", "position", "1"}, 2.5},
                                         RetryBusyLine{{"position", "1", "--retry-busy", "0.5"}, 0.5},
                                         RetryBusyLine{{"move-by", "1", "5", "--wait", "--retry-busy=7"}, 7.0}));

TEST(VelmorctlRetryBusy, WithoutSecondsIsAUsageError)
{
    for (const std::vector<std::string> &words : {std::vector<std::string>{"--retry-busy"},
                                                  std::vector<std::string>{"position", "1", "--retry-busy", "x"},
                                                  std::vector<std::string>{"position", "1", "--retry-busyx"}}) {
        EXPECT_THROW(CommandLineParser(words, CommandLineParser::Source::CommandLine).parse(), UsageError);
    }
}

TEST(VelmorctlShellWords, SplitAtBlanksUpToAComment)
{
    EXPECT_EQ(CommandLineParser::shellWords("  on 1\tmove-by 1 -5 # the rest # is a comment"),
              (std::vector<std::string>{"on", "1", "move-by", "1", "-5"}));
    EXPECT_TRUE(CommandLineParser::shellWords("#on 1").empty());
    EXPECT_TRUE(CommandLineParser::shellWords(" \t ").empty());
}

TEST(VelmorctlOpenFailure, EachCauseHasItsWords)
{
    EXPECT_EQ(OpenFailure::text(OpenFailure::Cause::Busy),
              "the unit is open in another program (close it there, or wait for it with --retry-busy SECONDS)");
    EXPECT_EQ(OpenFailure::text(OpenFailure::Cause::Unplugged),
              "the unit was unplugged (it is no longer listed at its index)");
    EXPECT_EQ(OpenFailure::serialNotFoundReason(99), "");
    EXPECT_EQ(OpenFailure::serialNotFoundReason(120),
              "120 units are attached and the library addresses units 1 to 99: a unit listed beyond 99 cannot be found");
}

struct JsonText
{
    std::string bytes;
    QString parsed;
};

class VelmorctlJsonText : public testing::TestWithParam<JsonText>
{
};

// Whatever bytes a text holds (a serial number as D2XX lists it, say), the line parses back.
TEST_P(VelmorctlJsonText, ParsesBackWithOddBytesReplaced)
{
    const std::string line = JsonObject().addText("serial", GetParam().bytes).text();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_EQ(document.object()[QStringLiteral("serial")].toString(), GetParam().parsed) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VelmorctlJsonText,
    testing::Values(JsonText{"JX\"\\\t\xff", QStringLiteral("JX\"\\\t\uFFFD")},
                    JsonText{std::string("a\0b\x01\x1f", 5), QString::fromUtf8("a\0b\x01\x1f", 5)},
                    JsonText{"caf\xc3\xa9", QString::fromUtf8("caf\xc3\xa9")},
                    JsonText{"cut \xc3", QStringLiteral("cut \uFFFD")},
                    JsonText{"\xed\xa0\x80", QStringLiteral("\uFFFD\uFFFD\uFFFD")}));

} // namespace
