// velmord as the program it is, killed and started again under its clients: a call it was
// running fails at once, and the client's next call goes direct or to the new velmord.
#include "ChildProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

class VelmordProcess : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        m_socket = m_folder.filePath("velmord.sock").toStdString();
    }

    std::unique_ptr<ChildProcess> startVelmord(const std::string &program, const std::vector<std::string> &arguments)
    {
        auto velmord = std::make_unique<ChildProcess>(program, arguments, std::vector<std::string>{});
        EXPECT_TRUE(velmord->waitForError("listening on", std::chrono::seconds(10))) << velmord->err();
        return velmord;
    }

    std::unique_ptr<ChildProcess> client(const std::vector<std::string> &commands)
    {
        return std::make_unique<ChildProcess>(VELMOR_TEST_HOST, commands, std::vector<std::string>{"VELMOR_BROKER=" + m_socket});
    }

    QTemporaryDir m_folder;
    std::string m_socket;
};

TEST_F(VelmordProcess, KilledMidCallItFailsTheCallAtOnceAndTheNextGoesDirect)
{
    // Unit 1 answers no motor information: a position call on it waits out the 4 s reply time-out.
    auto velmord = startVelmord(VELMORD_WITH_FAULTS, {m_socket, "silent", "0"});
    ASSERT_TRUE(velmord->waitForError("JXah00102 held", std::chrono::seconds(20))) << velmord->err();
    auto host = client({"note", "calling", "position", "1", "note", "failed", "position", "2"});
    ASSERT_TRUE(host->waitForError("calling", std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    velmord->sendSignal(SIGKILL);
    // The call velmord was running ends within a second of velmord's end.
    EXPECT_TRUE(host->waitForError("failed", std::chrono::seconds(1)));
    host->finish();
    velmord->finish();

    // getAbsolutePosition's own failure code, then the direct call on the process's own units.
    EXPECT_EQ(host->out(), "initialise 0\nposition 12 0\nposition 0 0\n");
}

TEST_F(VelmordProcess, StartedAgainItTakesTheClientsNextCall)
{
    const std::string go = m_folder.filePath("go").toStdString();
    auto first = startVelmord(VELMORD_PATH, {"--socket", m_socket});
    auto host = client({"on", "2", "note", "first", "waitfile", go, "position", "2", "status", "2"});
    ASSERT_TRUE(host->waitForError("first", std::chrono::seconds(20))) << host->err();
    first->sendSignal(SIGKILL);
    first->finish();
    auto second = startVelmord(VELMORD_PATH, {"--socket", m_socket});
    QFile(QString::fromStdString(go)).open(QIODevice::WriteOnly);
    host->finish();
    second->sendSignal(SIGTERM);
    second->finish();

    EXPECT_EQ(host->out(), "initialise 0\non 0\nposition 0 0\nstatus 0\n");
    EXPECT_NE(second->err().find("velmor_test_hos) connected"), std::string::npos) << second->err();
}

} // namespace
