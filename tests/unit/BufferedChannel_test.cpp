// The buffered channel on interface A of an emulated FT2232H: grants, block reads, the read
// hint, time-outs, failures and the channel log.
#include "Bench.h"
#include "CallTrace.h"
#include "USBChannelLog.h"
#include "USBFtdiBufferedSocket.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using namespace bench;
using VelmorEmulator::openHandles;

constexpr quint32 kCapacity = 65280;
const std::string kGrant = "FT_Write 1 0";

std::vector<uint8_t> counting(size_t count, uint8_t first = 1)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

std::string thrownBy(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const USBResult &result) {
        return result.message.toStdString();
    }
    return "nothing thrown";
}

std::vector<std::string> linesOf(const std::vector<std::string> &functions)
{
    std::vector<std::string> result;
    for (const std::string &line : trace::lines()) {
        for (const std::string &function : functions) {
            if (line.compare(0, function.size(), function) == 0)
                result.push_back(line);
        }
    }
    return result;
}

TEST(BufferedChannelOpen, ConfiguresTheDataInterfaceAsAFifo)
{
    set({unit(Chip::FT2232H, "JXah01001")});
    USBFtdiBufferedSocket socket(0, kCapacity);
    const USBResult result = socket.open(500000);
    ASSERT_EQ(result.code, 0u);
    EXPECT_EQ(result.message, "Valid");
    EXPECT_EQ(socket.threadPriority(), quint32(QThread::TimeCriticalPriority));
    EXPECT_EQ(trace::lines(), std::vector<std::string>({"FT_Open 0", "FT_GetDeviceInfo", "FT_EE_Read 0 4294967295 3",
                                                        "FT_SetBitMode 255 0", "FT_SetLatencyTimer 2",
                                                        "FT_SetUSBParameters 65536 0", "FT_SetFlowControl 256 0 0",
                                                        "FT_Purge 3"}));
    const auto recorded = VelmorEmulator::calls();
    EXPECT_GE(recorded[4].time - recorded[3].time, std::chrono::milliseconds(10));
    EXPECT_EQ(socket.applyProtocolTimeouts(), quint32(FT_OK));
    EXPECT_EQ(VelmorEmulator::interfaceSettings(0).readTimeoutMs, 200u);
    EXPECT_EQ(VelmorEmulator::interfaceSettings(0).writeTimeoutMs, 200u);
    EXPECT_EQ(socket.open(500000).message, "Device already open");
    socket.close();
    EXPECT_TRUE(openHandles().empty());
}

TEST(BufferedChannelOpen, EveryFailingStepLeavesTheChannelClosed)
{
    const std::vector<std::pair<std::string, std::string>> failures = {
        {"FT_Open", "Communication error"},          {"FT_GetDeviceInfo", "Communication error"},
        {"FT_EE_Read", "Unknown USB serial number"}, {"FT_SetBitMode", "Communication error"},
        {"FT_SetLatencyTimer", "Communication error"}, {"FT_SetUSBParameters", "Communication error"},
        {"FT_SetFlowControl", "Communication error"}, {"FT_Purge", "Communication error"},
    };
    for (const auto &failure : failures) {
        set({unit(Chip::FT2232H, "JXah01001")});
        VelmorEmulator::failCall(failure.first, FT_IO_ERROR, 0, 1);
        USBFtdiBufferedSocket socket(0, kCapacity);
        const USBResult result = socket.open(500000);
        EXPECT_EQ(result.code, 2u) << failure.first;
        EXPECT_EQ(result.message.toStdString(), failure.second) << failure.first;
        EXPECT_FALSE(socket.isOpen()) << failure.first;
        EXPECT_TRUE(openHandles().empty()) << failure.first;
    }
}

// What the bus lists at an index decides the chip, so a chip other than an FT2232H there is
// refused like a unit of unknown identity, never asserted on.
TEST(BufferedChannelOpen, RefusesOtherChipsAndUnknownSerials)
{
    for (const UnitOnBus &item : {unit(Chip::FT232R, "JXah00102"), unit(Chip::FT232H, "JXah00102"),
                                  unit(Chip::FT4232H, "JXah00102"), unit(Chip::FT2232H, "JXah0100")}) {
        set({item});
        USBFtdiBufferedSocket socket(0, kCapacity);
        const USBResult result = socket.open(500000);
        EXPECT_EQ(result.message, "Unknown USB serial number") << item.serial;
        EXPECT_FALSE(socket.isOpen());
        EXPECT_TRUE(openHandles().empty());
        if (item.chip != Chip::FT2232H) {
            EXPECT_EQ(trace::lines(), std::vector<std::string>({"FT_Open 0", "FT_GetDeviceInfo", "FT_Close"}));
        }
    }
}

class BufferedChannel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        set({unit(Chip::FT2232H, "JXbh01001")});
        ASSERT_TRUE(m_socket.open(0).isOk());
        m_socket.applyTimeouts();
        VelmorEmulator::clearCalls();
    }
    void TearDown() override
    {
        m_socket.close();
        EXPECT_TRUE(openHandles().empty());
    }

    QByteArray take(quint32 count)
    {
        QByteArray bytes(static_cast<int>(count), '\0');
        m_socket.readInto(bytes.data(), count);
        return bytes;
    }

    USBFtdiBufferedSocket m_socket{0, kCapacity};
};

TEST_F(BufferedChannel, FirstQueueQueryGrantsWithOneZeroByte)
{
    EXPECT_EQ(m_socket.bytesAvailable(), 0u);
    EXPECT_EQ(trace::lines(), std::vector<std::string>({kGrant, "FT_GetQueueStatus 0"}));
    EXPECT_EQ(m_socket.remainingGrant(), kCapacity);
    VelmorEmulator::streamData(0, counting(5));
    EXPECT_EQ(m_socket.bytesAvailable(), 5u);
    EXPECT_EQ(trace::countOf("FT_Write"), 1u);
}

TEST_F(BufferedChannel, UsedUpGrantIsRenewedOnlyOnceTheBufferIsEmpty)
{
    VelmorEmulator::streamData(0, counting(kCapacity + 10));
    const QByteArray first = take(kCapacity - 10);
    EXPECT_EQ(static_cast<uint8_t>(first[0]), 1);
    // the whole grant came in one block; the unit holds back the rest
    EXPECT_EQ(linesOf({"FT_Write", "FT_Read"}), std::vector<std::string>({kGrant, "FT_Read 65280 65280"}));
    EXPECT_EQ(m_socket.remainingGrant(), 0u);
    EXPECT_EQ(m_socket.bytesAvailable(), 10u);
    take(10);
    EXPECT_EQ(trace::countOf("FT_Write"), 1u);

    // the next refill grants before it reads
    VelmorEmulator::clearCalls();
    VelmorEmulator::expireNextReads(1);
    const QByteArray rest = take(10);
    EXPECT_EQ(static_cast<uint8_t>(rest[0]), static_cast<uint8_t>(1 + kCapacity));
    EXPECT_EQ(linesOf({"FT_Write", "FT_Read"}), std::vector<std::string>({kGrant, "FT_Read 65280 10"}));
    EXPECT_EQ(m_socket.remainingGrant(), kCapacity - 10);
}

TEST_F(BufferedChannel, QueueQueryRenewsAUsedUpGrantWhenNothingIsBuffered)
{
    VelmorEmulator::streamData(0, counting(kCapacity));
    take(kCapacity);
    VelmorEmulator::clearCalls();
    EXPECT_EQ(m_socket.bytesAvailable(), 0u);
    EXPECT_EQ(trace::lines(), std::vector<std::string>({kGrant, "FT_GetQueueStatus 0"}));
}

TEST_F(BufferedChannel, PurgeDropsWhatTheGrantReleasedButNotWhatTheUnitHeldBack)
{
    VelmorEmulator::streamData(0, counting(kCapacity + 5));
    EXPECT_EQ(m_socket.bytesAvailable(), kCapacity);
    m_socket.purge();
    EXPECT_EQ(m_socket.bytesAvailable(), 0u);
    // A new session grants anew, and the unit sends what it held back.
    m_socket.close();
    ASSERT_TRUE(m_socket.open(0).isOk());
    m_socket.applyTimeouts();
    EXPECT_EQ(m_socket.bytesAvailable(), 5u);
    EXPECT_EQ(static_cast<uint8_t>(take(5)[0]), static_cast<uint8_t>(1 + kCapacity));
}

TEST_F(BufferedChannel, ReadHintBoundsTheNextBlock)
{
    m_socket.setReadHint(10);
    VelmorEmulator::streamData(0, counting(30));
    EXPECT_EQ(take(1), QByteArray("\x01", 1));
    EXPECT_EQ(m_socket.bufferedCount(), 9u);
    EXPECT_EQ(m_socket.readHint(), 0u);
    take(9);
    // with the hint used up a block may fill the rest of the grant
    VelmorEmulator::expireNextReads(1);
    EXPECT_EQ(take(20), QByteArray(reinterpret_cast<const char *>(counting(20, 11).data()), 20));
    EXPECT_EQ(linesOf({"FT_Read"}), std::vector<std::string>({"FT_Read 10 10", "FT_Read 65270 20"}));
}

TEST_F(BufferedChannel, ReadSpanningBlocksRefillsAgain)
{
    m_socket.setReadHint(4);
    VelmorEmulator::streamData(0, counting(6));
    VelmorEmulator::expireNextReads(2);
    EXPECT_EQ(take(6), QByteArray("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(linesOf({"FT_Read"}), std::vector<std::string>({"FT_Read 4 4", "FT_Read 65276 2"}));
}

// The one real 200 ms wait of this file.
TEST_F(BufferedChannel, RefillThatReceivesNothingTimesOut)
{
    EXPECT_EQ(thrownBy([&] { take(1); }), "Reading data from device timed out");
    EXPECT_EQ(m_socket.bufferedCount(), 0u);
    // the grant still stands: the next read refills without writing again
    VelmorEmulator::streamData(0, counting(1, 42));
    EXPECT_EQ(take(1), QByteArray("\x2a", 1));
    EXPECT_EQ(trace::countOf("FT_Write"), 1u);
}

TEST_F(BufferedChannel, FailuresLeaveNothingBufferedAndTheNextReadRecovers)
{
    VelmorEmulator::failCall("FT_Write", FT_IO_ERROR, 0, 1);
    EXPECT_EQ(thrownBy([&] { m_socket.bytesAvailable(); }), "Communication error");
    EXPECT_EQ(m_socket.remainingGrant(), 0u);

    VelmorEmulator::streamData(0, counting(3));
    VelmorEmulator::failCall("FT_Read", FT_IO_ERROR, 0, 1);
    EXPECT_EQ(thrownBy([&] { take(1); }), "Communication error");
    EXPECT_EQ(m_socket.bufferedCount(), 0u);
    VelmorEmulator::expireNextReads(1);
    EXPECT_EQ(take(3), QByteArray("\x01\x02\x03", 3));

    VelmorEmulator::failCall("FT_GetQueueStatus", FT_IO_ERROR, 0, 1);
    EXPECT_EQ(thrownBy([&] { m_socket.bytesAvailable(); }), "Communication error");
}

TEST_F(BufferedChannel, UnitVanishingAfterOpenGivesErrorsAndNoLeak)
{
    VelmorEmulator::unplug(0);
    EXPECT_EQ(thrownBy([&] { take(1); }), "Communication error");
    EXPECT_EQ(thrownBy([&] { m_socket.bytesAvailable(); }), "Communication error");
    EXPECT_EQ(m_socket.status().code, 2u);
}

TEST_F(BufferedChannel, CloneGetsNoBufferAndNeverHandsOutItsOriginalsBytes)
{
    VelmorEmulator::streamData(0, counting(10));
    VelmorEmulator::expireNextReads(1);
    EXPECT_EQ(take(4), QByteArray("\x01\x02\x03\x04", 4));
    const USBISocketPtr copy = m_socket.clone();
    const auto *bufferedCopy = dynamic_cast<USBFtdiBufferedSocket *>(copy.get());
    ASSERT_NE(bufferedCopy, nullptr);
    EXPECT_EQ(bufferedCopy->bufferedCount(), 6u);
    EXPECT_TRUE(copy->isOpen());

    VelmorEmulator::clearCalls();
    VelmorEmulator::streamData(0, counting(2, 0x50));
    VelmorEmulator::expireNextReads(1);
    char bytes[2] = {};
    copy->readInto(bytes, 2);
    EXPECT_EQ(QByteArray(bytes, 2), QByteArray("\x50\x51", 2));
    EXPECT_EQ(linesOf({"FT_Write", "FT_Read"}), std::vector<std::string>({kGrant, "FT_Read 65280 2"}));
    // the original still serves its own buffer
    EXPECT_EQ(take(6), QByteArray("\x05\x06\x07\x08\x09\x0a", 6));
}

TEST(BufferedChannelClosed, ReadsNeedAnOpenChannel)
{
    set({unit(Chip::FT2232H, "JXbh01001")});
    USBFtdiBufferedSocket socket(0, kCapacity);
    char byte;
    EXPECT_EQ(thrownBy([&] { socket.readInto(&byte, 1); }), "Device not open");
    // the grant that comes first cannot be written
    EXPECT_EQ(thrownBy([&] { socket.bytesAvailable(); }), "Device not open");
    EXPECT_TRUE(VelmorEmulator::calls().empty());
}

TEST(BufferedChannelDeathTest, PlainReadsAreProgrammingErrors)
{
    set({unit(Chip::FT2232H, "JXbh01001")});
    USBFtdiBufferedSocket socket(0, kCapacity);
    QByteArray buffer;
    EXPECT_DEATH(socket.read(1), "read\\(\\) is not supported");
    EXPECT_DEATH(socket.readAvailable(buffer, 1), "readAvailable\\(\\) is not supported");
}

class ChannelLog : public BufferedChannel
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_directory.isValid());
        m_previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_directory.path()));
        BufferedChannel::SetUp();
    }
    void TearDown() override
    {
        BufferedChannel::TearDown();
        USBChannelLog::setEnabled(false);
        QDir::setCurrent(m_previous);
    }

    QStringList logFiles() const { return QDir(m_directory.path()).entryList(QDir::Files); }

    QTemporaryDir m_directory;
    QString m_previous;
};

TEST_F(ChannelLog, IsOffUnlessTurnedOn)
{
    EXPECT_FALSE(USBChannelLog::isEnabled());
    VelmorEmulator::streamData(0, counting(5));
    VelmorEmulator::expireNextReads(1);
    take(5);
    EXPECT_TRUE(logFiles().isEmpty());
}

TEST_F(ChannelLog, RecordsEveryBlockWithItsCount)
{
    USBChannelLog::setEnabled(true);
    VelmorEmulator::streamData(0, counting(5));
    VelmorEmulator::expireNextReads(1);
    take(5);
    VelmorEmulator::streamData(0, counting(7, 0x10));
    VelmorEmulator::expireNextReads(1);
    take(7);

    const QStringList files = logFiles();
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^Socket-0-\\d{4}\\.\\d\\d\\.\\d\\d-\\d\\d\\.\\d\\d\\.\\d\\d\\.log$")
                    .match(files[0])
                    .hasMatch())
        << files[0].toStdString();
    EXPECT_EQ(m_socket.logFileName(), QDir(m_directory.path()).absoluteFilePath(files[0]));
    QFile file(m_socket.logFileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\x05\x00\x00\x00\x01\x02\x03\x04\x05"
                                         "\x07\x00\x00\x00\x10\x11\x12\x13\x14\x15\x16",
                                         4 + 5 + 4 + 7));
    file.close();

    // a block that never came is recorded with count 0
    VelmorEmulator::expireNextReads(1);
    EXPECT_EQ(thrownBy([&] { take(1); }), "Reading data from device timed out");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().right(4), QByteArray(4, '\0'));
    EXPECT_EQ(file.size(), 24);
}

TEST_F(ChannelLog, ReplacesAFileOfTheSameName)
{
    // stale files under every name the channel may pick in the next few seconds
    const QDateTime now = QDateTime::currentDateTime();
    QStringList staleNames;
    for (int second = 0; second < 3; ++second) {
        const QString name = QStringLiteral("Socket-0-%1.log").arg(now.addSecs(second).toString("yyyy.MM.dd-hh.mm.ss"));
        staleNames << QDir(m_directory.path()).absoluteFilePath(name);
        QFile stale(staleNames.last());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(100, 'x'));
    }
    USBChannelLog::setEnabled(true);
    VelmorEmulator::streamData(0, counting(2));
    VelmorEmulator::expireNextReads(1);
    take(2);
    ASSERT_TRUE(staleNames.contains(m_socket.logFileName())) << m_socket.logFileName().toStdString();
    QFile file(m_socket.logFileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\x02\x00\x00\x00\x01\x02", 6));
}

} // namespace
