// One connection between a program and velmord, on this platform's kind of it (a Unix domain
// socket, or a named pipe on Windows), through velmord's listener and the library's channel:
// whole messages both ways, a read that gives up at its deadline without losing what comes
// later, a peer that goes away ending a read at once, bytes that are no message, many clients
// at once, and addresses where nothing (or nothing of ours) listens.
#include "BrokerChannel.h"
#include "Listener.h"
#include "RawConnection.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// Long enough that a read still waiting when it ran out shows as TimedOut, not as a pass, and
// short enough to end well within the test's own time-out.
constexpr int kLongWaitMs = 60000;
constexpr int kShortWaitMs = 100;

struct Accepted
{
    std::unique_ptr<BrokerChannel> channel;
    SessionTable::Peer peer;
};

BrokerMessage callOf(int64_t function, std::string bytes)
{
    return BrokerMessage(BrokerMessage::Call, {BrokerField::of(function), BrokerField::ofBytes(std::move(bytes)),
                                               BrokerField::null(), BrokerField::of(-1)});
}

void expectSame(const BrokerMessage &got, const BrokerMessage &sent)
{
    EXPECT_EQ(got.encode(), sent.encode());
}

class BrokerChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_address = RawConnection::freshAddress(m_folder.path().toStdString());
        std::string error;
        ASSERT_TRUE(m_listener.listenAt(m_address, &error)) << error;
    }

    void TearDown() override { m_listener.removeSocketFile(); }

    std::future<Accepted> acceptOne()
    {
        return std::async(std::launch::async, [this] {
            Accepted accepted;
            accepted.channel = m_listener.accept(&accepted.peer);
            return accepted;
        });
    }

    // A client of the library's own kind and the listener's end of its connection.
    std::pair<std::unique_ptr<BrokerChannel>, Accepted> connectPair()
    {
        std::future<Accepted> server = acceptOne();
        std::unique_ptr<BrokerChannel> client = BrokerChannel::connectTo(m_address);
        // A client that did not get through leaves accept() waiting: stopping the listener ends
        // the wait (for the rest of this test's process, which has failed anyway).
        if (!client)
            Listener::stop();
        return {std::move(client), server.get()};
    }

    // A raw client and the listener's end of its connection.
    Accepted acceptRaw(RawConnection &raw)
    {
        std::future<Accepted> server = acceptOne();
        if (!raw.connected())
            Listener::stop();
        return server.get();
    }

    QTemporaryDir m_folder;
    std::string m_address;
    Listener m_listener;
};

TEST_F(BrokerChannelTest, MessagesGoBothWaysWholeUpToTheLargest)
{
    std::unique_ptr<BrokerChannel> client;
    Accepted server;
    std::tie(client, server) = connectPair();
    ASSERT_TRUE(client);
    ASSERT_TRUE(server.channel);

    const BrokerMessage hello(BrokerMessage::Hello, {BrokerField::of(BrokerMessage::kProtocolVersion),
                                                     BrokerField::of(INT64_MIN), BrokerField::of(4711),
                                                     BrokerField::ofBytes(std::string("velmor\0ctl", 10))});
    ASSERT_TRUE(client->send(hello));
    BrokerChannel::Failure failure = BrokerChannel::Failure::None;
    const std::optional<BrokerMessage> got = server.channel->receive(kLongWaitMs, &failure);
    ASSERT_TRUE(got) << int(failure);
    expectSame(*got, hello);

    // The largest message is more than a pipe's or socket's buffer holds: the sender waits
    // while the reader takes it in parts.
    const size_t overhead = 3 + 1 + 4;
    std::string largest(BrokerMessage::kLargestMessage - overhead, '\0');
    for (size_t at = 0; at < largest.size(); ++at)
        largest[at] = char(at * 7 + at / 251);
    const BrokerMessage reply(BrokerMessage::Reply, {BrokerField::ofBytes(largest)});
    ASSERT_EQ(reply.encode().size(), BrokerMessage::kLengthPrefix + BrokerMessage::kLargestMessage);
    std::future<bool> sent = std::async(std::launch::async, [&] { return server.channel->send(reply); });
    const std::optional<BrokerMessage> received = client->receive(kLongWaitMs, &failure);
    EXPECT_TRUE(sent.get());
    ASSERT_TRUE(received) << int(failure);
    expectSame(*received, reply);

    // Messages sent one after another, before any is read, come out one by one and in order.
    for (int64_t number = 1; number <= 50; ++number)
        ASSERT_TRUE(client->send(callOf(number, std::string(size_t(number) * 13, 'x'))));
    for (int64_t number = 1; number <= 50; ++number) {
        const std::optional<BrokerMessage> call = server.channel->receive(kLongWaitMs, &failure);
        ASSERT_TRUE(call) << "message " << number << ": " << int(failure);
        expectSame(*call, callOf(number, std::string(size_t(number) * 13, 'x')));
    }
}

TEST_F(BrokerChannelTest, AReadGivesUpAtItsDeadlineAndLosesNothingThatComesLater)
{
    std::unique_ptr<BrokerChannel> client;
    Accepted server;
    std::tie(client, server) = connectPair();
    ASSERT_TRUE(client);
    ASSERT_TRUE(server.channel);

    // Each end in turn: nothing comes, the read ends TimedOut; what is sent next is read whole.
    for (BrokerChannel *reader : {server.channel.get(), client.get()}) {
        BrokerChannel *writer = reader == client.get() ? server.channel.get() : client.get();
        for (int round = 0; round < 3; ++round) {
            BrokerChannel::Failure failure = BrokerChannel::Failure::None;
            EXPECT_FALSE(reader->receive(kShortWaitMs, &failure));
            EXPECT_EQ(failure, BrokerChannel::Failure::TimedOut);
            EXPECT_FALSE(reader->receive(0, &failure));
            EXPECT_EQ(failure, BrokerChannel::Failure::TimedOut);
            const BrokerMessage message = callOf(round, "after the time-out");
            ASSERT_TRUE(writer->send(message));
            const std::optional<BrokerMessage> got = reader->receive(kLongWaitMs, &failure);
            ASSERT_TRUE(got) << int(failure);
            expectSame(*got, message);
        }
    }
}

TEST_F(BrokerChannelTest, AMessageThatComesInPiecesIsReadWhole)
{
    RawConnection raw(m_address);
    Accepted server = acceptRaw(raw);
    ASSERT_TRUE(raw.connected());
    ASSERT_TRUE(server.channel);

    const BrokerMessage message = callOf(9, "in pieces");
    const std::string bytes = message.encode();
    std::future<std::optional<BrokerMessage>> got
        = std::async(std::launch::async, [&] { return server.channel->receive(kLongWaitMs); });
    // The length prefix split, then the body split.
    for (const auto &[from, to] : std::vector<std::pair<size_t, size_t>>{{0, 2}, {2, 6}, {6, 11}, {11, bytes.size()}}) {
        ASSERT_TRUE(raw.write(bytes.substr(from, to - from)));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::optional<BrokerMessage> received = got.get();
    ASSERT_TRUE(received);
    expectSame(*received, message);
}

TEST_F(BrokerChannelTest, AClientThatGoesAwayEndsVelmordsReadAtOnce)
{
    const std::string message = callOf(3, "cut off").encode();
    const struct
    {
        const char *when;
        std::string sent;
    } cases[] = {
        {"before sending anything", ""},
        {"inside the length prefix", message.substr(0, 2)},
        {"after the length prefix", message.substr(0, BrokerMessage::kLengthPrefix)},
        {"halfway through the body", message.substr(0, message.size() / 2 + 2)},
    };
    for (const auto &goneAway : cases) {
        SCOPED_TRACE(goneAway.when);
        RawConnection raw(m_address);
        Accepted server = acceptRaw(raw);
        ASSERT_TRUE(raw.connected());
        ASSERT_TRUE(server.channel);
        std::future<BrokerChannel::Failure> read = std::async(std::launch::async, [&] {
            BrokerChannel::Failure failure = BrokerChannel::Failure::None;
            const std::optional<BrokerMessage> got = server.channel->receive(kLongWaitMs, &failure);
            return got ? BrokerChannel::Failure::None : failure;
        });
        if (!goneAway.sent.empty()) {
            ASSERT_TRUE(raw.write(goneAway.sent));
        }
        raw.close();
        EXPECT_EQ(read.get(), BrokerChannel::Failure::Closed);
    }
}

TEST_F(BrokerChannelTest, VelmordGoingAwayEndsTheClientsReadAtOnce)
{
    std::unique_ptr<BrokerChannel> client;
    Accepted server;
    std::tie(client, server) = connectPair();
    ASSERT_TRUE(client);
    ASSERT_TRUE(server.channel);
    ASSERT_TRUE(client->send(callOf(11, "a call velmord never answers")));
    std::future<BrokerChannel::Failure> read = std::async(std::launch::async, [&] {
        BrokerChannel::Failure failure = BrokerChannel::Failure::None;
        const std::optional<BrokerMessage> got = client->receive(kLongWaitMs, &failure);
        return got ? BrokerChannel::Failure::None : failure;
    });
    ASSERT_TRUE(server.channel->receive(kLongWaitMs));
    server.channel.reset();
    EXPECT_EQ(read.get(), BrokerChannel::Failure::Closed);
    // A connection whose other end is gone takes nothing more.
    EXPECT_FALSE(client->send(callOf(12, "too late")));
}

TEST_F(BrokerChannelTest, BytesThatAreNoMessageAreMalformed)
{
    const struct
    {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"a length of nothing", std::string("\x00\x00\x00\x00", 4)},
        {"a length below the smallest message", std::string("\x02\x00\x00\x00\x03\x00", 6)},
        {"a length beyond the largest message", std::string("\x01\x00\x01\x00", 4)},
        {"a length of 4 GiB less one", std::string("\xff\xff\xff\xff", 4)},
        {"an unknown kind", std::string("\x03\x00\x00\x00\x09\x00\x00", 7)},
        {"a field announced but missing", std::string("\x03\x00\x00\x00\x03\x01\x00", 7)},
        {"bytes beyond the last field", std::string("\x05\x00\x00\x00\x04\x01\x00\x00\x00", 9)},
    };
    for (const auto &noMessage : cases) {
        SCOPED_TRACE(noMessage.what);
        RawConnection raw(m_address);
        Accepted server = acceptRaw(raw);
        ASSERT_TRUE(raw.connected());
        ASSERT_TRUE(server.channel);
        ASSERT_TRUE(raw.write(noMessage.bytes));
        BrokerChannel::Failure failure = BrokerChannel::Failure::None;
        EXPECT_FALSE(server.channel->receive(kLongWaitMs, &failure));
        EXPECT_EQ(failure, BrokerChannel::Failure::Malformed);
    }
}

TEST_F(BrokerChannelTest, ManyClientsConnectingAtOnceAreAllServed)
{
    constexpr int kClients = 16;
    // velmord's way: each accepted connection served in a thread of its own, here an echo.
    std::thread serving([this] {
        std::vector<std::thread> echoes;
        for (int count = 0; count < kClients; ++count) {
            SessionTable::Peer peer;
            std::shared_ptr<BrokerChannel> channel = m_listener.accept(&peer);
            if (!channel)
                break;
            echoes.emplace_back([channel] {
                if (const std::optional<BrokerMessage> message = channel->receive(kLongWaitMs))
                    channel->send(*message);
            });
        }
        for (std::thread &echo : echoes)
            echo.join();
    });
    std::atomic<int> echoed{0};
    std::vector<std::thread> clients;
    for (int number = 0; number < kClients; ++number) {
        clients.emplace_back([&, number] {
            const std::unique_ptr<BrokerChannel> client = BrokerChannel::connectTo(m_address);
            const BrokerMessage message = callOf(number, "client " + std::to_string(number));
            if (!client || !client->send(message))
                return;
            const std::optional<BrokerMessage> answer = client->receive(kLongWaitMs);
            if (answer && answer->encode() == message.encode())
                ++echoed;
        });
    }
    for (std::thread &client : clients)
        client.join();
    // Clients that never got through leave the listener waiting: stopping it ends the wait.
    if (echoed != kClients)
        Listener::stop();
    serving.join();
    EXPECT_EQ(echoed, kClients);
}

TEST_F(BrokerChannelTest, TheListenerTellsWhichProcessConnected)
{
    std::unique_ptr<BrokerChannel> client;
    Accepted server;
    std::tie(client, server) = connectPair();
    ASSERT_TRUE(client);
    ASSERT_TRUE(server.channel);
    EXPECT_EQ(server.peer.pid, QCoreApplication::applicationPid());
    // Linux gives the first 15 characters of the name, Windows the image's whole file name.
    const std::string program = "broker_BrokerChannel_test.exe";
    EXPECT_FALSE(server.peer.command.empty());
    EXPECT_EQ(program.compare(0, server.peer.command.size(), server.peer.command), 0) << server.peer.command;
}

TEST_F(BrokerChannelTest, AListenerWhoseConnectionsAreAllTakenStillCounts)
{
    // Before the listener accepts, its one pipe instance is taken by this client: the library
    // must still see velmord there (and not go direct), as it must while velmord makes the next.
    RawConnection raw(m_address);
    ASSERT_TRUE(raw.connected());
    EXPECT_TRUE(BrokerChannel::mayListen(m_address));
    Accepted server = acceptRaw(raw);
    ASSERT_TRUE(server.channel);
}

TEST_F(BrokerChannelTest, OnlyItsOwnUserMayConnect)
{
    const std::string expected = RawConnection::expectedAccess();
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(expected.find('?'), std::string::npos) << expected;
    // Asked once: on Windows the question connects to the pipe, as a client that goes at once.
    EXPECT_EQ(RawConnection::accessOf(m_address), expected);
}

TEST_F(BrokerChannelTest, ASecondListenerAtTheSameAddressIsRefusedAndTheFirstServesOn)
{
    EXPECT_TRUE(BrokerChannel::mayListen(m_address));
    Listener second;
    std::string error;
    EXPECT_FALSE(second.listenAt(m_address, &error));
    EXPECT_NE(error.find("already listens"), std::string::npos) << error;

    // The second may have tried the address with a connection of its own (a socket's way to
    // tell whether anyone listens): the first accepts that one, finds it closed, and serves on.
    std::future<bool> served = std::async(std::launch::async, [this] {
        for (int accepted = 0; accepted < 2; ++accepted) {
            SessionTable::Peer peer;
            const std::unique_ptr<BrokerChannel> channel = m_listener.accept(&peer);
            BrokerChannel::Failure failure = BrokerChannel::Failure::None;
            if (channel && channel->receive(kLongWaitMs, &failure))
                return true;
            if (!channel || failure != BrokerChannel::Failure::Closed)
                return false;
        }
        return false;
    });
    const std::unique_ptr<BrokerChannel> client = BrokerChannel::connectTo(m_address);
    if (!client || !client->send(callOf(1, "still here")))
        Listener::stop();
    EXPECT_TRUE(client);
    EXPECT_TRUE(served.get());
}

TEST_F(BrokerChannelTest, WhereNothingOfOursListensNothingIsOpened)
{
    const std::string file = m_folder.filePath("not-a-socket").toStdString();
    {
        QFile made(QString::fromStdString(file));
        ASSERT_TRUE(made.open(QIODevice::WriteOnly));
        made.write("untouched");
    }
    const struct
    {
        const char *what;
        std::string address;
    } cases[] = {
        {"no address", ""},
        {"an address nothing listens at", RawConnection::freshAddress(m_folder.path().toStdString())},
        {"a file", file},
        {"a pipe on another machine", "\\\\server\\pipe\\velmord"},
        {"a folder under a pipe's name", m_address + "\\inner"},
        {"the null device", "NUL"},
    };
    for (const auto &nowhere : cases) {
        SCOPED_TRACE(nowhere.what);
        EXPECT_FALSE(BrokerChannel::mayListen(nowhere.address));
        EXPECT_FALSE(BrokerChannel::connectTo(nowhere.address));
    }
    QFile written(QString::fromStdString(file));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("untouched"));
}

} // namespace
