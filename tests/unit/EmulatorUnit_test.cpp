// The emulated unit from its own side: its serial line, its bootloader, its packet framing and its
// motor-driver command set with the records it keeps.
#include "FirmwareBench.h"

#include <gtest/gtest.h>

#include <cctype>

using namespace firmware_bench;
using velmor_firmware::ReceivedPacket;
using velmor_firmware::RecordKind;
using velmor_firmware::RunState;

namespace {

// "10.1" -> "10_1", for test names.
std::string nameOf(std::string text)
{
    for (char &c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return text;
}

TEST(EmulatorUnitLine, HearsOnlyTheLineItsSerialAsksFor)
{
    struct Case { const char *serial; uint32_t baud; uint8_t dataBits, stopBits, parity; bool rtsCts; bool understood; };
    const Case cases[] = {
        {"JXah00102", 500000, 8, 0, 2, false, true},
        {"JXah00102", 115200, 8, 0, 2, false, false},
        {"JXah00102", 500000, 7, 0, 2, false, false},
        {"JXah00102", 500000, 8, 2, 2, false, false},
        {"JXah00102", 500000, 8, 0, 0, false, false},
        {"JXah00102", 500000, 8, 0, 2, true, false},
        {"JXbh00102", 500000, 8, 0, 2, true, true},
        {"JXbh00102", 500000, 8, 0, 2, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.serial) + " at " + std::to_string(c.baud));
        Bench bench(setupFor(c.serial));
        SerialLine line;
        line.baudRate = c.baud;
        line.dataBits = c.dataBits;
        line.stopBits = c.stopBits;
        line.parity = c.parity;
        line.rtsCts = c.rtsCts;
        bench.setLine(line);
        const Bytes answer = bench.ask(101, 20);
        EXPECT_EQ(!answer.empty(), c.understood) << hexOf(answer);
        const std::vector<ReceivedPacket> received = bench.unit().receivedPackets();
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].hearing, c.understood ? ReceivedPacket::Understood : ReceivedPacket::Garbled);
        EXPECT_EQ(received[0].bytes, request(101, 20));
    }
}

TEST(EmulatorUnitBootloader, AnswersItsInformationInBothStates)
{
    struct Case { bool longReply; uint8_t flagBit; uint16_t pageSize; const char *expected; };
    const Case cases[] = {
        {false, 0, 128, "00 80"},
        {false, 1, 256, "01 00"},
        {true, 1, 128, "FF 00 80 01"},
        {true, 0, 300, "FF 01 2C 00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        UnitSetup setup;
        setup.longInformationReply = c.longReply;
        setup.informationFlagBit = c.flagBit;
        setup.pageSize = c.pageSize;
        Bench bench(setup);
        EXPECT_EQ(bench.ask(101, 20), reply(101, 0, hex(c.expected)));
        bench.boot();
        EXPECT_EQ(bench.ask(102, 20), reply(102, 0, hex(c.expected)));
    }
}

TEST(EmulatorUnitBootloader, AnswersPrepareEmptyAndOtherOpcodesNotRecognised)
{
    Bench bench;
    EXPECT_EQ(bench.ask(101, 21), reply(101, 0));
    for (uint8_t opcode : {2, 3, 9, 19, 28, 0, 0x45}) {
        SCOPED_TRACE(int(opcode));
        EXPECT_EQ(bench.status(opcode), 1);
    }
    EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Bootloader) << "a framed 03 is no start command";
}

TEST(EmulatorUnitBootloader, ReadsOutAFormatTwoPageWithItsEntries)
{
    UnitSetup setup;
    setup.usbSerial = "JXah00102";
    setup.storedSerial = "JXah001020007";
    setup.firmwareMajor = 3;
    setup.firmwareMinor = 4;
    velmor_firmware::InformationEntry entry;
    entry.label = "axis";
    entry.numbers[0] = 7;
    entry.numbers[3] = 0x1234;
    setup.entries = {entry};
    Bench bench(setup);

    const Bytes page = bench.data(18);
    ASSERT_EQ(page.size(), 130u);
    EXPECT_EQ(hexOf(Bytes(page.begin(), page.begin() + 4)), "35 72 D1 02");
    EXPECT_EQ(std::string(page.begin() + 4, page.begin() + 25), "Velmor stepper driver");
    EXPECT_EQ(page[25], 0);
    EXPECT_EQ(std::string(page.begin() + 44, page.begin() + 57), "JXah001020007");
    EXPECT_EQ(hexOf(Bytes(page.begin() + 57, page.begin() + 60)), "00 00 00");
    EXPECT_EQ(hexOf(Bytes(page.begin() + 60, page.begin() + 76)), "00 01 00 02 00 03 00 04 00 03 00 04 00 05 00 06");
    EXPECT_EQ(page[76], 0x01);
    EXPECT_EQ(std::string(page.begin() + 77, page.begin() + 81), "axis");
    EXPECT_EQ(hexOf(Bytes(page.begin() + 93, page.begin() + 101)), "00 07 00 00 00 00 12 34");
    EXPECT_EQ(page[101], 0x00) << "the entry list ends";
    EXPECT_EQ(Bytes(page.begin() + 102, page.begin() + 128), Bytes(26, 0));
    EXPECT_EQ(hexOf(Bytes(page.end() - 2, page.end())), "FF FF");
}

TEST(EmulatorUnitBootloader, FormatOnePageCarriesTheUsbSerialAndNoEntries)
{
    UnitSetup setup;
    setup.pageFormat = 1;
    setup.pageSize = 100;
    setup.entries.resize(2);
    Bench bench(setup);
    const Bytes page = bench.data(18);
    ASSERT_EQ(page.size(), 102u);
    EXPECT_EQ(page[3], 1);
    EXPECT_EQ(std::string(page.begin() + 44, page.begin() + 53), "JXah00102");
    EXPECT_EQ(Bytes(page.begin() + 74, page.begin() + 100), Bytes(26, 0));
}

TEST(EmulatorUnitStart, FirmwareComesUpAfterItsBootTimeAndIgnoresWhatCameMeanwhile)
{
    Bench bench;
    EXPECT_EQ(bench.status(0x41), 1) << "no motor-driver commands in the bootloader";
    EXPECT_TRUE(bench.send({0x03}).empty());
    EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Starting);
    EXPECT_TRUE(bench.ask(104, 0x41).empty());
    bench.wait(200);
    EXPECT_EQ(bench.unit().runState(bench.now()), RunState::Firmware);

    const Bytes answer = bench.send(hex("05 69 00 00 00 41 00 00"));
    ASSERT_EQ(answer.size(), 22u);
    EXPECT_EQ(hexOf(Bytes(answer.begin(), answer.begin() + 8)), "05 69 00 00 00 00 0E 00");
    EXPECT_EQ(answer[8 + 11], 1) << "motor on and ready after the start";

    EXPECT_TRUE(bench.send({0x03}).empty());
    EXPECT_EQ(bench.ask(106, 0x41).size(), 22u) << "a start command while running changes nothing";
    EXPECT_EQ(bench.ask(107, 20), reply(107, 0, hex("00 80")));

    const std::vector<ReceivedPacket> received = bench.unit().receivedPackets();
    ASSERT_EQ(received.size(), 7u);
    EXPECT_TRUE(received[1].raw);
    EXPECT_EQ(received[1].commandCode, 0x03);
    EXPECT_EQ(received[2].hearing, ReceivedPacket::Ignored);
    EXPECT_EQ(received[3].id, 105u);
    EXPECT_EQ(received[3].commandCode, 0x41);
}

TEST(EmulatorUnitFraming, PacketsMaySpanReceivesButNotLongGaps)
{
    Bench bench;
    const Bytes packet = request(101, 20);
    EXPECT_TRUE(bench.send(Bytes(packet.begin(), packet.begin() + 3)).empty());
    bench.wait(10);
    EXPECT_EQ(bench.send(Bytes(packet.begin() + 3, packet.end())), reply(101, 0, hex("00 80")));

    EXPECT_TRUE(bench.send(Bytes(packet.begin(), packet.begin() + 5)).empty());
    bench.wait(60);
    EXPECT_EQ(bench.ask(102, 20), reply(102, 0, hex("00 80"))) << "the stale start of a packet is forgotten";
    const std::vector<ReceivedPacket> received = bench.unit().receivedPackets();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].hearing, ReceivedPacket::Dropped);
    EXPECT_EQ(received[1].bytes.size(), 5u);

    const Bytes two = request(103, 20) + request(104, 21);
    EXPECT_EQ(bench.send(two), reply(103, 0, hex("00 80")) + reply(104, 0));
}

struct ActionSupport
{
    const char *hardware;
    uint8_t code;
    int status;
};

class EmulatorUnitCommandSet : public testing::TestWithParam<ActionSupport> {};

TEST_P(EmulatorUnitCommandSet, AnswersOnlyTheActionsItsHardwareKnows)
{
    Bench bench(setupFor(serialOf(GetParam().hardware)));
    bench.boot();
    EXPECT_EQ(bench.status(GetParam().code), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Table, EmulatorUnitCommandSet, testing::Values(
    ActionSupport{"1.1", 0x2C, 0}, ActionSupport{"1.2", 0x2D, 0}, ActionSupport{"10.1", 0x2C, 1}, ActionSupport{"27.1", 0x2D, 1},
    ActionSupport{"1.1", 0x33, 1}, ActionSupport{"1.2", 0x34, 0},
    ActionSupport{"1.2", 0x47, 1}, ActionSupport{"10.1", 0x47, 0},
    ActionSupport{"1.2", 0x24, 0}, ActionSupport{"1.2", 0x35, 1}, ActionSupport{"1.2", 0x48, 1}, ActionSupport{"1.2", 0x1F, 1},
    ActionSupport{"JXah01201", 0x41, 1}),
    [](const testing::TestParamInfo<ActionSupport> &info) {
        return "hardware_" + nameOf(info.param.hardware) + "_code_" + std::to_string(info.param.code);
    });

struct ReadLength
{
    const char *hardware;
    uint16_t firmwareMajor, firmwareMinor;
    uint8_t code;
    size_t length;
};

class EmulatorUnitReads : public testing::TestWithParam<ReadLength> {};

TEST_P(EmulatorUnitReads, AnswerTheLengthOfTheUnitsRecord)
{
    const ReadLength &c = GetParam();
    Bench bench(setupFor(serialOf(c.hardware), c.firmwareMajor, c.firmwareMinor));
    bench.boot();
    const auto answer = bench.exchange(c.code);
    EXPECT_EQ(answer.first, 0);
    EXPECT_EQ(answer.second.size(), c.length);
}

INSTANTIATE_TEST_SUITE_P(Table, EmulatorUnitReads, testing::Values(
    ReadLength{"1.1", 2, 0, 0x40, 10}, ReadLength{"10.1", 1, 0, 0x40, 9},
    ReadLength{"27.1", 1, 0, 0x41, 14},
    ReadLength{"1.1", 2, 0, 0x42, 8}, ReadLength{"1.2", 2, 0, 0x42, 11},
    ReadLength{"1.1", 2, 1, 0x43, 10}, ReadLength{"1.2", 2, 0, 0x43, 10}, ReadLength{"1.2", 2, 1, 0x43, 11}, ReadLength{"10.1", 1, 0, 0x43, 11},
    ReadLength{"1.2", 2, 9, 0x44, 18}, ReadLength{"1.2", 3, 0, 0x44, 19}, ReadLength{"10.1", 1, 0, 0x44, 19}, ReadLength{"27.1", 1, 0, 0x44, 25},
    ReadLength{"1.2", 2, 1, 0x45, 6}, ReadLength{"1.2", 2, 1, 0x46, 11},
    ReadLength{"10.1", 1, 0, 0x47, 1}, ReadLength{"27.1", 1, 0, 0x47, 2}),
    [](const testing::TestParamInfo<ReadLength> &info) {
        return "hardware_" + nameOf(info.param.hardware) + "_firmware_" + std::to_string(info.param.firmwareMajor) + "_"
            + std::to_string(info.param.firmwareMinor) + "_code_" + std::to_string(info.param.code);
    });

TEST(EmulatorUnitRecords, DefaultsAsTheUnitShipsThem)
{
    Bench bench(setupFor(serialOf("1.2"), 3, 0));
    bench.boot();
    EXPECT_EQ(hexOf(bench.data(0x42)), "04 90 01 90 01 10 27 00 00 00 00");
    EXPECT_EQ(hexOf(bench.data(0x43)), "E8 03 E8 03 64 00 00 02 F4 01 00");
    EXPECT_EQ(hexOf(bench.data(0x44)), "FF FF FF FF 00 00 00 00 00 00 00 00 00 00 04 00 00 00 05");
    EXPECT_EQ(hexOf(bench.data(0x46)), "00 00 00 00 01 00 00 00 00 00 00");
    EXPECT_EQ(hexOf(bench.data(0x41)), "00 00 00 00 00 00 00 00 00 00 00 01 00 00");
}

TEST(EmulatorUnitRecords, KeepsWhatIsWrittenAndReadsItBack)
{
    struct Case { const char *hardware; uint8_t write, read; const char *bytes; };
    const Case cases[] = {
        {"1.1", 0x20, 0x42, "02 E8 03 A0 86 01 00 01"},
        {"1.2", 0x20, 0x42, "03 90 01 C8 00 10 27 00 00 00 01"},
        {"1.2", 0x21, 0x43, "E8 03 D0 07 64 00 01 02 F4 01 01"},
        {"27.1", 0x23, 0x44, "20 FF FF FF FF 21 FF FF 00 00 00 00 01 02 00 00 00 00 04 00 00 00 05 00 00"},
        {"1.2", 0x26, 0x46, "01 00 C8 00 02 01 00 E8 03 10 27"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        Bench bench(setupFor(serialOf(c.hardware)));
        bench.boot();
        EXPECT_EQ(bench.status(c.write, hex(c.bytes)), 0);
        EXPECT_EQ(hexOf(bench.data(c.read)), c.bytes);
    }
}

TEST(EmulatorUnitRecords, KeepsPwmSettingsOfItsLength)
{
    struct Case { const char *hardware; uint16_t firmwareMajor; const char *bytes; int status; };
    const Case cases[] = {
        {"1.2", 3, "32", 0}, {"1.2", 3, "00 01", 1}, {"1.2", 4, "00 01", 0}, {"1.2", 4, "00 02", 202},
        {"27.1", 1, "64 64", 0}, {"27.1", 1, "65 00", 202}, {"10.1", 1, "64", 0}, {"10.1", 1, "", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.hardware) + ": " + c.bytes);
        Bench bench(setupFor(serialOf(c.hardware), c.firmwareMajor, 0));
        bench.boot();
        const Bytes before = bench.unit().motorState(bench.now()).pwm;
        EXPECT_EQ(bench.status(0x25, hex(c.bytes)), c.status);
        EXPECT_EQ(bench.unit().motorState(bench.now()).pwm, c.status == 0 ? hex(c.bytes) : before);
    }
}

TEST(EmulatorUnitRecords, RefusesWrongLengthsAndOutOfRangeValuesWithoutKeepingThem)
{
    struct Case { const char *hardware; uint8_t write, read; const char *bytes; int status; };
    const Case cases[] = {
        {"1.2", 0x20, 0x42, "04 90 01 90 01 10 27 00 00 00", 1},            // one byte short
        {"1.1", 0x20, 0x42, "04 90 01 90 01 10 27 00 00 00 00", 1},         // the long form on 1.1
        {"1.2", 0x20, 0x42, "04 D0 07 90 01 10 27 00 00 00 00", 200},       // 2000 steps/s at 1/16: 32000
        {"1.2", 0x20, 0x42, "04 00 00 90 01 10 27 00 00 00 00", 200},       // speed 0
        {"1.2", 0x20, 0x42, "05 01 00 01 00 10 27 00 00 00 00", 200},       // no step mode 1/32 on 1.2
        {"1.2", 0x20, 0x42, "04 90 01 D0 07 10 27 00 00 00 01", 200},       // alternate speed in use, too high
        {"1.2", 0x20, 0x42, "04 90 01 90 01 00 00 00 00 01 00", 200},       // ramped with no acceleration
        {"1.2", 0x20, 0x42, "04 90 01 90 01 81 96 98 00 01 00", 200},       // above 1000000 steps/s²
        {"27.1", 0x20, 0x42, "07 20 03 90 01 10 27 00 00 00 00", 200},      // 800 steps/s at 1/128: 102400
        {"1.2", 0x21, 0x43, "E8 03 31 00 64 00 00 02 F4 01 00", 201},       // 49 mA
        {"1.2", 0x21, 0x43, "E8 03 41 1F 64 00 00 02 F4 01 00", 201},       // 8001 mA
        {"10.1", 0x21, 0x43, "E8 03 F5 01 64 00 00 02 F4 01 00", 201},      // 501 mA
        {"1.2", 0x23, 0x44, "FF FF FF FF 00 00 02 00 00 00 00 00 00 00 04 00 00 00", 202},   // polarity 2
        {"1.2", 0x23, 0x44, "20 20 FF FF 00 00 00 00 00 00 00 00 00 00 04 00 00 00", 202},   // limit 1 twice
        {"1.2", 0x23, 0x44, "FF FF FF FF 00 00 00 03 00 00 00 00 00 00 04 00 00 00", 202},   // action 3
        {"1.2", 0x26, 0x46, "01 02 C8 00 02 01 00 E8 03 10 27", 200},       // backlash direction 2
        {"1.2", 0x26, 0x46, "01 00 C8 00 02 01 00 11 27 10 27", 200},       // home value 10001
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.hardware) + ": " + c.bytes);
        Bench bench(setupFor(serialOf(c.hardware)));
        bench.boot();
        const Bytes before = bench.data(c.read);
        EXPECT_EQ(bench.status(c.write, hex(c.bytes)), c.status);
        EXPECT_EQ(bench.data(c.read), before);
    }
}

TEST(EmulatorUnitRecords, AcceptsTheEdgesOfItsRanges)
{
    struct Case { const char *hardware; uint8_t write; const char *bytes; };
    const Case cases[] = {
        {"1.2", 0x20, "04 E2 04 90 01 10 27 00 00 00 00"},      // 1250 steps/s at 1/16: 20000
        {"27.1", 0x20, "00 A0 86 90 01 10 27 00 00 00 00"},     // 34464 whole steps/s
        {"1.2", 0x20, "04 90 01 90 01 80 96 98 00 01 00"},      // 1000000 steps/s² ramped
        {"1.2", 0x21, "E8 03 32 00 64 00 00 02 F4 01 00"},      // 50 mA
        {"27.1", 0x21, "E8 03 D0 07 64 00 00 02 F4 01 00"},     // 2000 mA
        {"1.2", 0x26, "01 01 C8 00 02 01 00 10 27 10 27"},      // home values 10000
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bytes);
        Bench bench(setupFor(serialOf(c.hardware)));
        bench.boot();
        EXPECT_EQ(bench.status(c.write, hex(c.bytes)), 0);
    }
}

TEST(EmulatorUnitRecords, ControlSetsAndGetsStoredBytes)
{
    Bench bench;
    bench.boot();
    EXPECT_FALSE(bench.unit().setRecordBytes(RecordKind::Block26, hex("01 02 03")));
    EXPECT_TRUE(bench.unit().setRecordBytes(RecordKind::Block26, hex("01 02 03 04 05 06")));
    EXPECT_EQ(hexOf(bench.data(0x45)), "01 02 03 04 05 06");

    EXPECT_TRUE(bench.unit().setRecordBytes(RecordKind::MotorInformation, hex("AA BB CC DD 18 00 00 00 01 09 0A 00 0C 0D"), bench.now()));
    EXPECT_EQ(hexOf(bench.data(0x41)), "AA BB CC DD 18 00 00 00 01 09 0A 01 0C 0D");
    EXPECT_EQ(bench.unit().motorState(bench.now()).stepMode, 1);
    EXPECT_EQ(bench.data(0x42)[0], 3) << "the motion configuration follows the step mode";
}

} // namespace
