// The plain channel on an emulated bus: how each chip is opened and configured, how every
// failing step leaves it, and the edges of reading and writing.
#include "Bench.h"
#include "CallTrace.h"
#include "USBFtdiSocket.h"

#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace {

using namespace bench;
using VelmorEmulator::calls;
using VelmorEmulator::openHandles;

const char *const kWait = "wait 10 ms";
const char *const kCommunicationError = "Communication error";  // D2XX status 4

struct OpenCase
{
    const char *name;
    UnitOnBus unit;
    quint32 interfaceIndex;
    bool uartMode;
    quint32 threadPriority;
    std::vector<std::string> sequence;  // every call of a successful open, kWait where it pauses
};

void PrintTo(const OpenCase &openCase, std::ostream *out) { *out << openCase.name; }

std::vector<OpenCase> openCases()
{
    const std::string ee = "FT_EE_Read 0 4294967295 ";
    return {
        {"FT232R", unit(Chip::FT232R, "JXah00102"), 0, false, QThread::InheritPriority,
         {"FT_Open 0", "FT_GetDeviceInfo", ee + "2", "FT_SetBaudRate 500000", "FT_SetFlowControl 0 0 0",
          "FT_SetDataCharacteristics 8 0 2", "FT_SetLatencyTimer 2", "FT_SetUSBParameters 8192 256", "FT_Purge 3"}},
        {"FT232H", unit(Chip::FT232H, "JXah00102"), 0, false, QThread::TimeCriticalPriority,
         {"FT_Open 0", "FT_GetDeviceInfo", ee + "5", "FT_SetBitMode 255 0", kWait, "FT_SetBitMode 255 64", kWait,
          "FT_SetLatencyTimer 2", "FT_SetUSBParameters 65536 65536", "FT_SetFlowControl 256 0 0", "FT_Purge 3"}},
        {"FT2232H_B_CommandLine", unit(Chip::FT2232H, "JXbh01001"), 1, true, QThread::InheritPriority,
         {"FT_Open 1", "FT_GetDeviceInfo", ee + "3", "FT_SetBitMode 255 0", kWait, "FT_SetBaudRate 500000",
          "FT_SetFlowControl 256 0 0", "FT_SetDataCharacteristics 8 0 2", "FT_SetLatencyTimer 2",
          "FT_SetUSBParameters 8192 256", "FT_Purge 3"}},
        {"FT2232H_A_Data", unit(Chip::FT2232H, "JXah01001"), 0, false, QThread::TimeCriticalPriority,
         {"FT_Open 0", "FT_GetDeviceInfo", ee + "3", "FT_SetBitMode 255 0", kWait, "FT_SetLatencyTimer 2",
          "FT_SetUSBParameters 65536 0", "FT_SetFlowControl 256 0 0", "FT_Purge 3"}},
        {"XSeries", unit(Chip::XSeries, "JXbh00102"), 0, false, QThread::InheritPriority,
         {"FT_Open 0", "FT_GetDeviceInfo", "FT_EEPROM_Read 56 9", "FT_SetBaudRate 500000", "FT_SetFlowControl 256 0 0",
          "FT_SetDataCharacteristics 8 0 2", "FT_SetLatencyTimer 2", "FT_SetUSBParameters 8192 256", "FT_Purge 3"}},
    };
}

std::vector<std::string> withoutWaits(const std::vector<std::string> &sequence)
{
    std::vector<std::string> calls;
    for (const std::string &step : sequence) {
        if (step != kWait)
            calls.push_back(step);
    }
    return calls;
}

std::string functionOf(const std::string &step)
{
    return step.substr(0, step.find(' '));
}

class ChannelOpen : public ::testing::TestWithParam<OpenCase>
{
protected:
    void SetUp() override { set({GetParam().unit}); }
    USBFtdiSocket channel() const { return USBFtdiSocket(GetParam().interfaceIndex, GetParam().uartMode); }
};

TEST_P(ChannelOpen, RunsTheChipsSequenceWithItsWaits)
{
    USBFtdiSocket socket = channel();
    const USBResult result = socket.open(500000);
    EXPECT_EQ(result.code, 0u);
    EXPECT_EQ(result.message, "Valid");
    EXPECT_TRUE(socket.isOpen());
    EXPECT_EQ(socket.threadPriority(), GetParam().threadPriority);

    const std::vector<VelmorEmulator::CallRecord> recorded = calls();
    std::vector<std::string> lines;
    for (const auto &call : recorded)
        lines.push_back(trace::line(call));
    ASSERT_EQ(lines, withoutWaits(GetParam().sequence));
    // each wait lies between the call before it and the call after it
    size_t callIndex = 0;
    for (const std::string &step : GetParam().sequence) {
        if (step != kWait) {
            ++callIndex;
            continue;
        }
        const auto gap = recorded[callIndex].time - recorded[callIndex - 1].time;
        EXPECT_GE(gap, std::chrono::milliseconds(10)) << "before " << lines[callIndex];
    }
    EXPECT_EQ(openHandles().size(), 1u);
    socket.close();
    EXPECT_TRUE(openHandles().empty());
}

// Every call of the sequence fails in turn: the channel stays closed, no handle stays open,
// and the result is the failing call's status, except for the EEPROM read, whose status does
// not count: without a serial the identity is unknown.
TEST_P(ChannelOpen, EveryFailingStepLeavesTheChannelClosed)
{
    const std::vector<std::string> sequence = withoutWaits(GetParam().sequence);
    std::map<std::string, int> seen;
    for (const std::string &step : sequence) {
        const std::string function = functionOf(step);
        const int earlier = seen[function]++;
        set({GetParam().unit});
        VelmorEmulator::failCall(function, FT_IO_ERROR, earlier, 1);
        USBFtdiSocket socket = channel();
        const USBResult result = socket.open(500000);
        const bool eepromRead = function == "FT_EE_Read" || function == "FT_EEPROM_Read";
        EXPECT_EQ(result.code, 2u) << step;
        EXPECT_EQ(result.message, eepromRead ? "Unknown USB serial number" : kCommunicationError) << step;
        EXPECT_FALSE(socket.isOpen()) << step;
        EXPECT_TRUE(openHandles().empty()) << step;
        // nothing is called after the failing step but the close
        const std::vector<std::string> lines = trace::lines();
        ASSERT_FALSE(lines.empty());
        if (function != "FT_Open") {
            EXPECT_EQ(lines.back(), "FT_Close") << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PerChip, ChannelOpen, ::testing::ValuesIn(openCases()),
                         [](const ::testing::TestParamInfo<OpenCase> &info) { return std::string(info.param.name); });

TEST(PlainChannel, SerialsNoIdentityAcceptsAreRefusedAfterOpening)
{
    UnitOnBus unprogrammed = unit(Chip::FT232R, "JXah00102");
    unprogrammed.eepromProgrammed = false;
    const std::vector<UnitOnBus> refused = {unit(Chip::FT232R, "ABCDEFGHI"), unit(Chip::FT232R, "JXch00102"),
                                            unit(Chip::XSeries, "JXah0010"), unprogrammed,
                                            unit(Chip::FT4232H, "JXah00102")};
    for (const UnitOnBus &item : refused) {
        set({item});
        USBFtdiSocket socket(0);
        const USBResult result = socket.open(500000);
        EXPECT_EQ(result.code, 2u) << item.serial;
        EXPECT_EQ(result.message, "Unknown USB serial number") << item.serial;
        EXPECT_FALSE(socket.isOpen());
        EXPECT_TRUE(openHandles().empty());
        EXPECT_EQ(trace::lines().back(), "FT_Close");
    }
    // the FT4232H's EEPROM is never asked
    EXPECT_EQ(trace::lines(), std::vector<std::string>({"FT_Open 0", "FT_GetDeviceInfo", "FT_Close"}));
}

TEST(PlainChannel, OpenOnAnOpenChannelChangesNothing)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    VelmorEmulator::clearCalls();
    const USBResult again = socket.open(500000);
    EXPECT_EQ(again.code, 2u);
    EXPECT_EQ(again.message, "Device already open");
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(socket.isOpen());
    socket.close();
}

TEST(PlainChannel, MissingInterfaceReportsTheOpenFailure)
{
    set({ft232r()});
    USBFtdiSocket socket(3);
    const USBResult result = socket.open(500000);
    EXPECT_EQ(result.message, "Device not found");
    EXPECT_FALSE(socket.isOpen());
    EXPECT_EQ(trace::lines(), std::vector<std::string>({"FT_Open 3"}));
}

TEST(PlainChannel, CloneDrivesTheSameHandleAndClosingClearsOnlyItsOwn)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    const USBISocketPtr copy = socket.clone();
    EXPECT_TRUE(copy->isOpen());
    EXPECT_EQ(copy->threadPriority(), socket.threadPriority());
    EXPECT_EQ(copy->deviceIndex(), 0u);
    EXPECT_EQ(copy->status().code, 0u);

    const USBResult closed = copy->close();
    EXPECT_EQ(closed.code, 0u);
    EXPECT_TRUE(closed.message.isEmpty());
    EXPECT_FALSE(copy->isOpen());
    EXPECT_TRUE(socket.isOpen());
    // the handle they shared is gone from the bus
    EXPECT_TRUE(openHandles().empty());
    const USBSocketStatus stale = socket.status();
    EXPECT_EQ(stale.code, 2u);
    EXPECT_EQ(stale.message, "Invalid handle");
    socket.close();
}

TEST(PlainChannel, CloseAndResetOnlyActWhenOpen)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    EXPECT_TRUE(socket.close().isOk());
    socket.resetAndClose();
    EXPECT_TRUE(calls().empty());

    ASSERT_TRUE(socket.open(500000).isOk());
    VelmorEmulator::clearCalls();
    socket.resetAndClose();
    EXPECT_EQ(trace::lines(), std::vector<std::string>({"FT_CyclePort", "FT_Close"}));
    EXPECT_FALSE(socket.isOpen());
    EXPECT_TRUE(openHandles().empty());
}

TEST(PlainChannel, ClosedChannelStatusAndQueue)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    EXPECT_EQ(socket.status().code, 1u);
    EXPECT_TRUE(calls().empty());
    // the queue is asked with a null handle, and D2XX's answer is thrown
    try {
        socket.bytesAvailable();
        FAIL() << "no throw";
    } catch (const USBResult &result) {
        EXPECT_EQ(result.code, 2u);
        EXPECT_EQ(result.message, "Invalid handle");
    }
    EXPECT_EQ(trace::countOf("FT_GetQueueStatus"), 1u);
}

TEST(PlainChannel, ReadingAndWritingNeedAnOpenChannel)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    QByteArray buffer;
    char bytes[4];
    const std::vector<std::pair<const char *, std::function<void()>>> operations = {
        {"writeByte", [&] { socket.writeByte(1); }},
        {"write", [&] { socket.write(QByteArray("ab")); }},
        {"write empty", [&] { socket.write(QByteArray()); }},
        {"read", [&] { socket.read(1); }},
        {"readInto", [&] { socket.readInto(bytes, 4); }},
        {"readAvailable", [&] { socket.readAvailable(buffer, 4); }},
    };
    for (const auto &operation : operations) {
        try {
            operation.second();
            ADD_FAILURE() << operation.first << " did not throw";
        } catch (const USBResult &result) {
            EXPECT_EQ(result.code, 2u) << operation.first;
            EXPECT_EQ(result.message, "Device not open") << operation.first;
        }
    }
    EXPECT_TRUE(calls().empty());
}

TEST(PlainChannel, StatusReportsQueuesOrTheFailure)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    const USBSocketStatus fine = socket.status();
    EXPECT_EQ(fine.code, 0u);
    EXPECT_EQ(fine.rxQueue, 0u);
    EXPECT_TRUE(fine.message.isEmpty());
    VelmorEmulator::failCall("FT_GetStatus", FT_IO_ERROR, 0, 1);
    const USBSocketStatus failed = socket.status();
    EXPECT_EQ(failed.code, 2u);
    EXPECT_EQ(failed.message, kCommunicationError);
    VelmorEmulator::failCall("FT_Purge", FT_IO_ERROR, 0, 1);
    EXPECT_EQ(socket.purge(), quint32(FT_IO_ERROR));
    EXPECT_EQ(socket.purge(), quint32(FT_OK));
    EXPECT_EQ(socket.applyTimeouts(), quint32(FT_OK));
    EXPECT_EQ(socket.applyProtocolTimeouts(), quint32(FT_OK));
    EXPECT_EQ(VelmorEmulator::interfaceSettings(0).readTimeoutMs, 1000u);
    EXPECT_EQ(VelmorEmulator::interfaceSettings(0).writeTimeoutMs, 1000u);
    socket.close();
}

TEST(PlainChannel, WritesSendTheWholeArrayOnceAndNothingForAnEmptyOne)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    VelmorEmulator::clearCalls();
    EXPECT_EQ(socket.write(QByteArray()), 0u);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(socket.write(QByteArray("\x05\x65\x00", 3)), 3u);
    socket.writeByte(0x7f);
    EXPECT_EQ(trace::lines(), std::vector<std::string>({"FT_Write 3 5 101 0", "FT_Write 1 127"}));

    VelmorEmulator::failCall("FT_Write", FT_IO_ERROR, 0, 2);
    EXPECT_THROW(socket.write(QByteArray("x")), USBResult);
    EXPECT_THROW(socket.writeByte(1), USBResult);
    socket.close();
}

TEST(PlainChannel, WritesThatStopShortAreTimeOutsAndTheUnitGetsWhatWasSent)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    const auto timedOut = [](const std::function<void()> &write) {
        try {
            write();
        } catch (const USBResult &result) {
            return result.message == QLatin1String("Communication timed out");
        }
        return false;
    };
    velmor_firmware::Unit &unit = VelmorEmulator::unit(0);
    VelmorEmulator::expireNextWrites(2, 1);
    socket.writeByte(0x7f);  // let through; a stray byte the bootloader ignores
    EXPECT_TRUE(timedOut([&] { socket.writeByte(0x03); }));
    EXPECT_TRUE(timedOut([&] { socket.write(QByteArray("\x7e\x03", 2)); }));
    // neither start byte reached the unit
    EXPECT_EQ(unit.runState(), velmor_firmware::RunState::Bootloader);
    socket.writeByte(0x03);
    EXPECT_EQ(unit.runState(), velmor_firmware::RunState::Starting);
    socket.close();
}

// Interface A of an FT2232H streams what it is given once a zero byte grants it: a plain
// channel on it has bytes to read without a unit's firmware.
class PlainChannelReading : public ::testing::Test
{
protected:
    void SetUp() override
    {
        set({unit(Chip::FT2232H, "JXbh01001")});
        ASSERT_TRUE(m_socket.open(500000).isOk());
        m_socket.applyTimeouts();
        m_socket.writeByte(0);
        VelmorEmulator::clearCalls();
    }
    void TearDown() override
    {
        m_socket.close();
        EXPECT_TRUE(openHandles().empty());
    }

    static std::vector<uint8_t> counting(size_t count, uint8_t first = 1)
    {
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i)
            bytes[i] = static_cast<uint8_t>(first + i);
        return bytes;
    }

    static std::string thrownBy(const std::function<void()> &operation)
    {
        try {
            operation();
        } catch (const USBResult &result) {
            return result.message.toStdString();
        }
        return "nothing thrown";
    }

    USBFtdiSocket m_socket{0};
};

TEST_F(PlainChannelReading, ReadsExactCounts)
{
    VelmorEmulator::streamData(0, counting(4095 + 8));
    EXPECT_TRUE(m_socket.read(0).isEmpty());
    EXPECT_EQ(m_socket.read(3), QByteArray("\x01\x02\x03", 3));
    char into[5] = {};
    m_socket.readInto(into, 5);
    EXPECT_EQ(QByteArray(into, 5), QByteArray("\x04\x05\x06\x07\x08", 5));
    EXPECT_EQ(m_socket.bytesAvailable(), 4095u);
    const QByteArray largest = m_socket.read(4095);
    ASSERT_EQ(largest.size(), 4095);
    EXPECT_EQ(static_cast<uint8_t>(largest[0]), 9);
}

TEST_F(PlainChannelReading, ReadAvailableTakesWhatIsQueuedUpToTheWantedTotal)
{
    VelmorEmulator::streamData(0, counting(6));
    QByteArray buffer("ab");
    EXPECT_EQ(m_socket.readAvailable(buffer, 6), 4);
    EXPECT_EQ(buffer, QByteArray("ab\x01\x02\x03\x04", 6));
    // already more than wanted: nothing is taken and nothing is cut
    EXPECT_EQ(m_socket.readAvailable(buffer, 3), 0);
    EXPECT_EQ(buffer.size(), 6);
    EXPECT_EQ(m_socket.readAvailable(buffer, 100), 2);
    EXPECT_EQ(buffer.size(), 8);
    EXPECT_EQ(m_socket.readAvailable(buffer, 100), 0);
}

TEST_F(PlainChannelReading, ReadAvailableTakesAtMostTenThousandBytesACall)
{
    VelmorEmulator::streamData(0, counting(12000));
    QByteArray buffer;
    EXPECT_EQ(m_socket.readAvailable(buffer, 20000), 10000);
    EXPECT_EQ(buffer.size(), 10000);
    EXPECT_EQ(m_socket.readAvailable(buffer, 20000), 2000);
}

TEST_F(PlainChannelReading, ShortCountsAreTimeOuts)
{
    VelmorEmulator::streamData(0, counting(2));
    VelmorEmulator::expireNextReads(1);
    EXPECT_EQ(thrownBy([&] { m_socket.read(5); }), "Communication timed out");

    VelmorEmulator::streamData(0, counting(2));
    VelmorEmulator::expireNextReads(1);
    char into[4];
    EXPECT_EQ(thrownBy([&] { m_socket.readInto(into, 4); }), "Communication timed out");
    // the channel stays open after a time-out
    EXPECT_TRUE(m_socket.isOpen());
}

TEST_F(PlainChannelReading, FailingReadsThrowTheStatusAndKeepOnlyWhatCame)
{
    VelmorEmulator::streamData(0, counting(4));
    VelmorEmulator::failCall("FT_Read", FT_IO_ERROR, 0, 3);
    EXPECT_EQ(thrownBy([&] { m_socket.read(1); }), kCommunicationError);
    char into[1];
    EXPECT_EQ(thrownBy([&] { m_socket.readInto(into, 1); }), kCommunicationError);
    QByteArray buffer("x");
    EXPECT_EQ(thrownBy([&] { m_socket.readAvailable(buffer, 4); }), kCommunicationError);
    EXPECT_EQ(buffer, QByteArray("x"));
    VelmorEmulator::failCall("FT_GetQueueStatus", FT_IO_ERROR, 0, 1);
    EXPECT_EQ(thrownBy([&] { m_socket.bytesAvailable(); }), kCommunicationError);
}

TEST_F(PlainChannelReading, UnitVanishingAfterOpenGivesErrorsAndNoLeak)
{
    VelmorEmulator::unplug(0);
    EXPECT_EQ(thrownBy([&] { m_socket.read(1); }), kCommunicationError);
    EXPECT_EQ(thrownBy([&] { m_socket.writeByte(0); }), kCommunicationError);
    EXPECT_EQ(m_socket.status().code, 2u);
    EXPECT_EQ(openHandles().size(), 1u);
    m_socket.close();
    EXPECT_FALSE(m_socket.isOpen());
}

TEST(PlainChannelDeathTest, ReadOfFourThousandNinetySixIsAProgrammingError)
{
    set({unit(Chip::FT2232H, "JXbh01001")});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    EXPECT_DEATH(socket.read(4096), "count < kReadBufferSize");
    socket.close();
}

// A silent unit: the read waits out the real one-second time-out and comes back short.
TEST(PlainChannel, ReadOfASilentUnitTimesOut)
{
    set({ft232r()});
    USBFtdiSocket socket(0);
    ASSERT_TRUE(socket.open(500000).isOk());
    socket.applyTimeouts();
    try {
        socket.read(1);
        FAIL() << "no throw";
    } catch (const USBResult &result) {
        EXPECT_EQ(result.message, "Communication timed out");
    }
    EXPECT_EQ(trace::callsTo("FT_Read").back().arguments, std::vector<uint64_t>({1, 0}));
    socket.close();
}

} // namespace
