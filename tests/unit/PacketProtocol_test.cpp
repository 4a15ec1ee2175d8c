// The packet engine over an in-memory channel.
#include "FakeSocket.h"
#include "ScriptedRequest.h"
#include "USBPacketErrorEvent.h"
#include "USBPacketProtocol.h"
#include "USBPacketStreamEvent.h"
#include "USBRequestEvent.h"
#include "ThreadAnnotations.h"

#include <QCoreApplication>
#include <boost/make_shared.hpp>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

// A reply packet of type 0x05.
QByteArray reply(qint32 id, quint8 status, const QByteArray &data)
{
    QByteArray packet(1, char(0x05));
    for (int shift = 0; shift < 32; shift += 8)
        packet.append(char((quint32(id) >> shift) & 0xFF));
    packet.append(char(status));
    packet.append(char(data.size() & 0xFF));
    packet.append(char(data.size() >> 8));
    return packet + data;
}

qint32 idOfRequest(const QByteArray &packet)
{
    return qint32(quint8(packet[1])) | qint32(quint8(packet[2])) << 8 | qint32(quint8(packet[3])) << 16
           | qint32(quint8(packet[4])) << 24;
}

struct Engine
{
    Engine()
    {
        protocol.setSocket(socket.clone());
    }
    ~Engine() { protocol.setSocket(USBISocketPtr()); }

    // The device answers each request packet with what `answer` makes of its id.
    void answer(std::function<QByteArray(qint32 id)> answer)
    {
        socket.shared().responder = [answer](const QByteArray &written) {
            return written.size() >= 8 && written[0] == 0x05 ? answer(idOfRequest(written)) : QByteArray();
        };
    }

    FakeSocket socket;
    USBPacketProtocol protocol;
};

TEST(PacketProtocol, FramesRequestsLittleEndianWithThePayloadLength)
{
    Engine engine;
    engine.answer([](qint32 id) { return reply(id, 0, QByteArray()); });
    auto first = boost::make_shared<ScriptedRequest>(0x41, hexBytes("AA BB CC DD"));
    auto second = boost::make_shared<ScriptedRequest>(0x22);
    ASSERT_EQ(first->id(), 101);  // the first request of the process
    EXPECT_TRUE(engine.protocol.execute(first).isOk());
    EXPECT_TRUE(engine.protocol.execute(second).isOk());
    ASSERT_EQ(engine.socket.writes().size(), 2);
    EXPECT_EQ(engine.socket.writes()[0], hexBytes("05 65 00 00 00 41 04 00 AA BB CC DD"));
    EXPECT_EQ(engine.socket.writes()[1], hexBytes("05 66 00 00 00 22 00 00"));
    EXPECT_EQ(engine.socket.shared().protocolTimeoutsApplied, 1);
}

struct ExecuteCase
{
    const char *name;
    std::function<QByteArray(qint32 id)> device;
    qint32 expectedLength;
    quint32 code;
    const char *message;
    QByteArray replyData;
};

void PrintTo(const ExecuteCase &c, std::ostream *out)
{
    *out << c.name;
}

class Execute : public ::testing::TestWithParam<ExecuteCase>
{
};

TEST_P(Execute, ReturnsWhatTheRequestHolds)
{
    const ExecuteCase &c = GetParam();
    Engine engine;
    engine.answer(c.device);
    auto request = boost::make_shared<ScriptedRequest>(0x41, QByteArray(), c.expectedLength);
    USBResult result;
    EXPECT_NO_THROW(result = engine.protocol.execute(request));
    EXPECT_EQ(result.code, c.code);
    EXPECT_EQ(result.message, QString::fromLatin1(c.message));
    EXPECT_TRUE(request->hasResult());
    EXPECT_EQ(request->result().code, result.code);
    EXPECT_EQ(request->result().message, result.message);
    EXPECT_EQ(request->replyData(), c.replyData);

    // Whatever happened, the engine is clean: a following exchange works.
    engine.answer([](qint32 id) { return reply(id, 0, hexBytes("01")); });
    auto next = boost::make_shared<ScriptedRequest>(0x41, QByteArray(), 1);
    EXPECT_TRUE(engine.protocol.execute(next).isOk());
    EXPECT_EQ(next->replyData(), hexBytes("01"));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, Execute,
    ::testing::Values(
        ExecuteCase{"DataOfTheExpectedLength", [](qint32 id) { return reply(id, 0, hexBytes("01 02")); }, 2, 0, "",
                    hexBytes("01 02")},
        ExecuteCase{"EmptyReplyWhereNoneIsExpected", [](qint32 id) { return reply(id, 0, QByteArray()); }, 0, 0, "",
                    QByteArray()},
        ExecuteCase{"OneByteShort", [](qint32 id) { return reply(id, 0, hexBytes("01")); }, 2, 2,
                    "Unexpected packet length.", QByteArray()},
        ExecuteCase{"StatusFailure", [](qint32 id) { return reply(id, 9, hexBytes("01 02")); }, 2, 2, "status 9",
                    QByteArray()},
        ExecuteCase{"StatusWarning", [](qint32 id) { return reply(id, 200, QByteArray()); }, 0, 1, "status 200",
                    QByteArray()},
        ExecuteCase{"ReplyForAnotherIdFirst",
                    [](qint32 id) { return reply(id + 7, 0, hexBytes("EE")) + reply(id, 0, hexBytes("01 02")); }, 2, 0,
                    "", hexBytes("01 02")},
        ExecuteCase{"ShortPacketsAreReadAndDropped",
                    [](qint32 id) { return hexBytes("07 02 AA BB") + reply(id, 0, hexBytes("01 02")); }, 2, 0, "",
                    hexBytes("01 02")},
        ExecuteCase{"CorruptFirstByte", [](qint32 id) { return hexBytes("06") + reply(id, 0, QByteArray()); }, 0, 2,
                    "Communication stream is corrupted.", QByteArray()},
        ExecuteCase{"PacketCutShort", [](qint32 id) { return reply(id, 0, hexBytes("01 02")).left(9); }, 2, 2,
                    "Communication timed out", QByteArray()},
        ExecuteCase{"HeaderCutShort", [](qint32 id) { return reply(id, 0, QByteArray()).left(3); }, 0, 2,
                    "Communication timed out", QByteArray()}),
    [](const ::testing::TestParamInfo<ExecuteCase> &info) { return std::string(info.param.name); });

TEST(PacketProtocol, CorruptStreamLeavesNoPendingRequestBehind)
{
    Engine engine;
    engine.answer([](qint32) { return hexBytes("06"); });
    auto failed = boost::make_shared<ScriptedRequest>();
    EXPECT_EQ(engine.protocol.execute(failed).message, QStringLiteral("Communication stream is corrupted."));
    // A reply to the failed request arriving now is not taken for anyone's.
    engine.answer([failed](qint32 id) { return reply(failed->id(), 0, QByteArray()) + reply(id, 0, hexBytes("05")); });
    auto next = boost::make_shared<ScriptedRequest>(0x41, QByteArray(), 1);
    EXPECT_TRUE(engine.protocol.execute(next).isOk());
    EXPECT_EQ(next->replyData(), hexBytes("05"));
}

// Counts the pauses execute makes between its receive passes instead of sleeping them.
class PauseCountingProtocol : public USBPacketProtocol
{
public:
    std::function<void(int pause)> onPause;
    int pauses = 0;

protected:
    void waitForNextPoll() override
    {
        ++pauses;
        if (onPause)
            onPause(pauses);
    }
};

TEST(PacketProtocol, ReplyStoredByAReceivePassIsTakenWithoutAnotherPause)
{
    // 0: the device answers as the request is written; n: it answers during the n-th pause.
    for (int answeredDuringPause : {0, 1, 3}) {
        SCOPED_TRACE(answeredDuringPause);
        FakeSocket socket;
        PauseCountingProtocol protocol;
        protocol.setSocket(socket.clone());
        auto request = boost::make_shared<ScriptedRequest>(0x41, QByteArray(), 1);
        const QByteArray answer = reply(request->id(), 0, hexBytes("2A"));
        if (answeredDuringPause == 0)
            socket.shared().responder = [answer](const QByteArray &) { return answer; };
        protocol.onPause = [&](int pause) {
            if (pause == answeredDuringPause)
                socket.deviceSends(answer);
        };
        EXPECT_TRUE(protocol.execute(request).isOk());
        EXPECT_EQ(request->replyData(), hexBytes("2A"));
        EXPECT_EQ(protocol.pauses, answeredDuringPause);
        protocol.setSocket(USBISocketPtr());
    }
}

TEST(PacketProtocol, SilentDeviceTimesOutAfterFourSecondsAndItsLateReplyIsDropped)
{
    Engine engine;
    auto silent = boost::make_shared<ScriptedRequest>();
    QElapsedTimer clock;
    clock.start();
    const USBResult result = engine.protocol.execute(silent);
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(result.message, QStringLiteral("Communication timed out"));
    EXPECT_GE(elapsed, 4000);
    EXPECT_LT(elapsed, 4500);
    engine.answer([silent](qint32 id) { return reply(silent->id(), 0, hexBytes("AA")) + reply(id, 0, QByteArray()); });
    EXPECT_TRUE(engine.protocol.execute(boost::make_shared<ScriptedRequest>()).isOk());
}

TEST(PacketProtocol, FloodOfUnsolicitedPacketsCannotHoldExecutePastItsTimeOut)
{
    Engine engine;
    QByteArray flood;
    for (int i = 0; i < 200000; ++i)
        flood += reply(5, 0, QByteArray());
    engine.socket.deviceSends(flood);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(engine.protocol.execute(boost::make_shared<ScriptedRequest>()).message, QStringLiteral("Communication timed out"));
    EXPECT_LT(clock.elapsed(), 4500);
}

TEST(PacketProtocol, NoChannelAndRawRequests)
{
    USBPacketProtocol unattached;
    auto request = boost::make_shared<ScriptedRequest>();
    EXPECT_EQ(unattached.execute(request).message, QStringLiteral("Invalid communication handle."));
    EXPECT_EQ(request->result().message, QStringLiteral("Invalid communication handle."));

    Engine engine;
    auto raw = boost::make_shared<ScriptedRequest>(0x03, hexBytes("10 20"));
    raw->raw = true;
    engine.socket.deviceSends(hexBytes("05"));  // nothing is read for a raw request
    EXPECT_TRUE(engine.protocol.execute(raw).isOk());
    EXPECT_EQ(engine.socket.writes(), QList<QByteArray>({hexBytes("03"), hexBytes("10 20")}));
    EXPECT_EQ(engine.socket.bytesAvailable(), 1u);
}

// Receives the engine's events in the test's thread.
class EventSink : public QObject
{
public:
    bool event(QEvent *event) override
    {
        VELMOR_HAPPENS_AFTER(event);
        if (event->type() == USBPacketStreamEvent::kType) {
            auto *stream = static_cast<USBPacketStreamEvent *>(event);
            streams.append({stream->id, stream->data});
            return true;
        }
        if (event->type() == USBRequestEvent::kType) {
            auto *done = static_cast<USBRequestEvent *>(event);
            requests.append({done->request->id(), done->result.code});
            EXPECT_EQ(done->request->result().code, done->result.code);
            return true;
        }
        if (event->type() == USBPacketErrorEvent::kType) {
            errors.append(static_cast<USBPacketErrorEvent *>(event)->error.message);
            return true;
        }
        return QObject::event(event);
    }

    QList<QPair<qint32, QByteArray>> streams;
    QList<QPair<qint32, quint32>> requests;
    QStringList errors;
};

class QueuedProtocol : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }

    void waitFor(const std::function<bool()> &condition)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < 6000) {
            QCoreApplication::sendPostedEvents();
            QThread::msleep(2);
        }
        QCoreApplication::sendPostedEvents();
    }
};

TEST_F(QueuedProtocol, StreamReceiverTakesItsPacketsEvenOverAPendingRequest)
{
    Engine engine;
    EventSink sink;
    engine.protocol.setStreamReceiver(0, &sink);
    engine.socket.deviceSends(hexBytes("07 02 AA BB"));
    engine.protocol.start();
    waitFor([&] { return !sink.streams.isEmpty(); });
    ASSERT_EQ(sink.streams.size(), 1);
    EXPECT_EQ(sink.streams[0].first, 0);
    EXPECT_EQ(sink.streams[0].second, hexBytes("AA BB"));
    engine.protocol.stop();
    EXPECT_FALSE(engine.protocol.isRunning());
}

TEST_F(QueuedProtocol, PostedRequestsAreAnsweredInPostingOrder)
{
    Engine engine;
    engine.answer([](qint32 id) { return reply(id, id % 2 == 0 ? 0 : 9, QByteArray()); });
    EventSink sink;
    QList<qint32> ids;
    for (int i = 0; i < 3; ++i) {
        auto request = boost::make_shared<ScriptedRequest>();
        ids << request->id();
        engine.protocol.postRequest(request, &sink);
    }
    engine.protocol.waitForIdle();
    waitFor([&] { return sink.requests.size() == 3; });
    ASSERT_EQ(sink.requests.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sink.requests[i].first, ids[i]);
        EXPECT_EQ(sink.requests[i].second, ids[i] % 2 == 0 ? 0u : 2u);
    }
}

TEST_F(QueuedProtocol, ReceiverGoneBeforeCompletionGetsNothing)
{
    Engine engine;
    // The device takes its time, so the receiver is gone before the outcome is known.
    engine.socket.shared().responder = [](const QByteArray &written) {
        QThread::msleep(100);
        return reply(idOfRequest(written), 0, QByteArray());
    };
    auto request = boost::make_shared<ScriptedRequest>();
    {
        EventSink gone;
        engine.protocol.postRequest(request, &gone);
    }
    engine.protocol.waitForIdle();
    waitFor([&] { return request->hasResult(); });
    EXPECT_TRUE(request->result().isOk());
}

TEST_F(QueuedProtocol, IdleReadFailureClosesTheChannelAndReportsOnce)
{
    Engine engine;
    EventSink sink;
    engine.protocol.setErrorReceiver(&sink);
    engine.socket.shared().open = true;
    engine.socket.deviceSends(hexBytes("42"));
    engine.protocol.start();
    waitFor([&] { return !sink.errors.isEmpty() && !engine.protocol.isRunning(); });
    EXPECT_EQ(sink.errors, QStringList({"Communication stream is corrupted."}));
    EXPECT_FALSE(engine.socket.isOpen());
}

TEST_F(QueuedProtocol, DetachWhileTheWorkerWaitsLetsItFinishThenClearsEverything)
{
    Engine engine;  // a silent device: the posted request waits its full 4000 ms
    EventSink sink;
    auto request = boost::make_shared<ScriptedRequest>();
    engine.protocol.postRequest(request, &sink);
    auto queued = boost::make_shared<ScriptedRequest>();
    engine.protocol.postRequest(queued, &sink);
    QThread::msleep(50);
    QElapsedTimer clock;
    clock.start();
    engine.protocol.setSocket(USBISocketPtr());
    EXPECT_LE(clock.elapsed(), 5100);
    EXPECT_FALSE(engine.protocol.isRunning());
    EXPECT_TRUE(engine.protocol.isIdle());
    waitFor([&] { return !sink.requests.isEmpty(); });
    ASSERT_EQ(sink.requests.size(), 1);
    EXPECT_EQ(sink.requests[0].first, request->id());
    EXPECT_EQ(request->result().message, QStringLiteral("Communication timed out"));
    EXPECT_FALSE(queued->hasResult());
}

} // namespace
