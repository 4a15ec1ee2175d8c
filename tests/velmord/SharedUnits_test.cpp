// Programs sharing units through velmord, run in this test's process on the emulator so that
// the test can make its units misbehave; the clients are processes of their own that reach it
// through VELMOR_BROKER.
#include "ChildProcess.h"
#include "Listener.h"
#include "Server.h"
#include "UnitFaults.h"
#include "VelmorEmulator.h"
#include "VelmorLibExtras.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

constexpr int kReadMotorInformation = 0x41;

// The result codes a client printed, in order ("on 0", "status 3 ms=12" give 0 and 3).
std::vector<int> codesOf(const std::string &output)
{
    std::vector<int> codes;
    std::istringstream lines(output);
    std::string line;
    const std::regex pattern("^[a-z]+ (-?[0-9]+)");
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, match, pattern))
            codes.push_back(std::stoi(match[1]));
    }
    return codes;
}

int connectedSocket(const std::string &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (descriptor >= 0 && ::connect(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return descriptor;
    return -1;
}

bool allSucceeded(const std::string &output)
{
    const std::vector<int> codes = codesOf(output);
    return !codes.empty() && std::all_of(codes.begin(), codes.end(), [](int code) { return code == 0; });
}

class SharedUnits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_socket = m_folder.filePath("velmord.sock").toStdString();
        std::string error;
        ASSERT_TRUE(m_listener.listenAt(m_socket, &error)) << error;
        m_serving = std::thread([this] { m_server.run(); });
        // velmord welcomes a client once it is set up (the library initialised, the profiles loaded).
        std::unique_ptr<BrokerChannel> probe = BrokerChannel::connectTo(m_socket);
        ASSERT_TRUE(probe);
        ASSERT_TRUE(probe->send(BrokerMessage(BrokerMessage::Hello, {BrokerField::of(BrokerMessage::kProtocolVersion),
                                                                     BrokerField::of(1), BrokerField::of(1),
                                                                     BrokerField::ofBytes("probe")})));
        ASSERT_TRUE(probe->receive(10000));
    }

    void TearDown() override
    {
        Listener::stop();
        if (m_serving.joinable())
            m_serving.join();
        m_listener.removeSocketFile();
    }

    std::unique_ptr<ChildProcess> client(const std::vector<std::string> &commands)
    {
        return std::make_unique<ChildProcess>(VELMOR_TEST_HOST, commands,
                                              std::vector<std::string>{"VELMOR_BROKER=" + m_socket});
    }

    std::unique_ptr<ChildProcess> velmorctl(const std::vector<std::string> &arguments)
    {
        return std::make_unique<ChildProcess>(VELMORCTL_PATH, arguments,
                                              std::vector<std::string>{"VELMOR_BROKER=" + m_socket});
    }

    QTemporaryDir m_folder;
    std::string m_socket;
    Listener m_listener;
    Server m_server{m_listener};
    std::thread m_serving;
};

TEST_F(SharedUnits, TwoProgramsMoveAndReadOneUnitAtOnce)
{
    auto mover = velmorctl({"on", "1", "move-by", "1", "600", "--wait", "position", "1"});
    auto reader = client({"repeat", "40", "position", "1", "status", "1"});
    mover->finish();
    reader->finish();

    EXPECT_EQ(mover->exitStatus(), 0) << mover->err();
    EXPECT_NE(mover->out().find("600"), std::string::npos) << mover->out();
    EXPECT_TRUE(allSucceeded(reader->out())) << reader->out();
}

TEST_F(SharedUnits, EightProgramsOnTheSameUnits)
{
    std::vector<std::unique_ptr<ChildProcess>> clients;
    for (int program = 0; program < 8; ++program) {
        const std::string unit = std::to_string(program % 4 + 1);
        clients.push_back(client({"hold", unit, "on", unit, "repeat", "8", "speed", unit, "400", "4", "move", unit, "5",
                                  "status", unit, "position", unit, "stop", unit, "release", unit}));
    }
    for (const auto &program : clients) {
        program->finish();
        // A move may find the motor still moving from another program's move: it is refused
        // with a readiness code, never with 3 (the unit busy in another program).
        const std::vector<int> codes = codesOf(program->out());
        EXPECT_EQ(std::count(codes.begin(), codes.end(), 3), 0) << program->out();
        EXPECT_EQ(program->exitStatus(), 0) << program->err();
    }
}

TEST_F(SharedUnits, ASilentUnitHoldsUpNoCallOnAnotherUnit)
{
    // Unit 2 stops answering its motor information: each call on it waits out the 4 s reply
    // time-out, three of them 12 s, far longer than the other program needs.
    auto silence = faults::silence(kReadMotorInformation);
    silence.times = -1;
    VelmorEmulator::addUnitFault(1, silence);
    auto stuck = client({"note", "calling", "repeat", "3", "position", "2"});
    ASSERT_TRUE(stuck->waitForError("calling", std::chrono::seconds(10)));
    auto healthy = client({"repeat", "20", "position", "1", "status", "3"});
    healthy->finish();
    stuck->waitForError("never printed", std::chrono::milliseconds(50));
    const std::vector<int> stuckSoFar = codesOf(stuck->out());
    stuck->finish();

    EXPECT_TRUE(allSucceeded(healthy->out())) << healthy->out();
    EXPECT_LT(stuckSoFar.size(), 4u) << "the other program waited for the silent unit: " << stuck->out();
    EXPECT_EQ(codesOf(stuck->out()), (std::vector<int>{0, VELMOR_ERROR_READ_FAILED, VELMOR_ERROR_READ_FAILED,
                                                        VELMOR_ERROR_READ_FAILED}))
        << stuck->out();
}

TEST_F(SharedUnits, AUnitUnpluggedMidCallFailsThatCallOnly)
{
    VelmorEmulator::UnitFault unplug;
    unplug.kind = VelmorEmulator::UnitFault::Unplug;
    unplug.commandCode = kReadMotorInformation;
    VelmorEmulator::addUnitFault(2, unplug);
    auto gone = client({"position", "3"});
    auto healthy = client({"repeat", "10", "position", "1", "position", "2"});
    gone->finish();
    healthy->finish();

    EXPECT_NE(codesOf(gone->out()).back(), 0) << gone->out();
    EXPECT_TRUE(allSucceeded(healthy->out())) << healthy->out();
}

TEST_F(SharedUnits, AClientKilledMidRunLeavesVelmordAndTheOthersServing)
{
    auto doomed = client({"hold", "1", "note", "holding", "repeat", "100000", "status", "1"});
    ASSERT_TRUE(doomed->waitForError("holding", std::chrono::seconds(10)));
    doomed->sendSignal(SIGKILL);
    doomed->finish();
    auto next = client({"hold", "1", "repeat", "10", "status", "1", "position", "1"});
    next->finish();

    EXPECT_TRUE(allSucceeded(next->out())) << next->out();
    for (const SessionTable::Peer &peer : m_server.sessions().connectedPeers())
        EXPECT_NE(peer.command, "velmor_test_host") << "a client's session outlived it";
}

// A program that knows nothing of profiles (the 21 exports alone) cannot drive a unit past the
// travel limits velmord loaded.
TEST_F(SharedUnits, TravelLimitsHoldForEveryClient)
{
    QFile profile(m_folder.filePath("JXah00102.json"));
    ASSERT_TRUE(profile.open(QIODevice::WriteOnly));
    profile.write(R"({"velmorlibProfile": 1, "serialNumber": "JXah00102", "travel": {"max": 40}})");
    profile.close();
    ASSERT_EQ(velmorLoadProfiles(m_folder.path().toUtf8().constData(), nullptr, 0, nullptr), VELMOR_OK);

    auto host = client({"on", "2", "move", "2", "50", "move", "2", "30", "position", "2"});
    host->finish();
    velmorLoadProfiles(m_folder.filePath("none").toUtf8().constData(), nullptr, 0, nullptr);

    EXPECT_EQ(codesOf(host->out()), (std::vector<int>{0, 0, VELMOR_ERROR_ARGUMENT, 0, 0})) << host->out();
}

// A message velmord cannot take closes that connection, and only that one.
TEST_F(SharedUnits, ABadMessageClosesOnlyItsConnection)
{
    const struct
    {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"garbage", std::string("\x07\x00\x00\x00garbage", 11)},
        {"a length beyond the largest message", std::string("\xff\xff\xff\x7f", 4)},
        {"a call before the hello", BrokerMessage(BrokerMessage::Call, {BrokerField::of(4), BrokerField::of(1)}).encode()},
    };
    auto healthy = client({"repeat", "30", "position", "1"});
    for (const auto &entry : cases) {
        // Exactly these bytes: a channel frames its own messages, so a plain socket sends them.
        const int raw = connectedSocket(m_socket);
        ASSERT_GE(raw, 0) << entry.what;
        ASSERT_EQ(::send(raw, entry.bytes.data(), entry.bytes.size(), MSG_NOSIGNAL), ssize_t(entry.bytes.size()));
        std::unique_ptr<BrokerChannel> channel = BrokerChannel::adopt(raw);
        BrokerChannel::Failure failure = BrokerChannel::Failure::None;
        EXPECT_FALSE(channel->receive(10000, &failure)) << entry.what;
        EXPECT_EQ(failure, BrokerChannel::Failure::Closed) << entry.what;
    }
    healthy->finish();
    EXPECT_TRUE(allSucceeded(healthy->out())) << healthy->out();
}

TEST_F(SharedUnits, ACallThatFitsNoFunctionClosesTheConnection)
{
    std::unique_ptr<BrokerChannel> raw = BrokerChannel::connectTo(m_socket);
    ASSERT_TRUE(raw);
    ASSERT_TRUE(raw->send(BrokerMessage(BrokerMessage::Hello, {BrokerField::of(BrokerMessage::kProtocolVersion),
                                                               BrokerField::of(42), BrokerField::of(1),
                                                               BrokerField::ofBytes("raw")})));
    ASSERT_TRUE(raw->receive(5000));
    const BrokerMessage wrongFields[] = {
        BrokerMessage(BrokerMessage::Call, {BrokerField::of(999)}),
        BrokerMessage(BrokerMessage::Call, {BrokerField::of(4), BrokerField::ofBytes("1")}),
        BrokerMessage(BrokerMessage::Call, {BrokerField::of(4), BrokerField::of(1), BrokerField::of(2)}),
    };
    ASSERT_TRUE(raw->send(wrongFields[0]));
    BrokerChannel::Failure failure = BrokerChannel::Failure::None;
    EXPECT_FALSE(raw->receive(10000, &failure));
    EXPECT_EQ(failure, BrokerChannel::Failure::Closed);
    for (size_t at = 1; at < std::size(wrongFields); ++at) {
        std::unique_ptr<BrokerChannel> again = BrokerChannel::connectTo(m_socket);
        ASSERT_TRUE(again->send(BrokerMessage(BrokerMessage::Hello, {BrokerField::of(BrokerMessage::kProtocolVersion),
                                                                     BrokerField::of(43), BrokerField::of(1),
                                                                     BrokerField::ofBytes("raw")})));
        ASSERT_TRUE(again->receive(5000));
        ASSERT_TRUE(again->send(wrongFields[at]));
        EXPECT_FALSE(again->receive(10000, &failure)) << at;
        EXPECT_EQ(failure, BrokerChannel::Failure::Closed) << at;
    }
}

} // namespace
