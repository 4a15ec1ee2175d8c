// Host programs run one after another (and at once) on the default bench: the units keep their
// state between the processes, through the emulator's state file, as real units would.
#include "ChildProcess.h"
#include "VelmorLib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// What one host process printed: each command's result code and value, in order.
struct Outcome
{
    std::string command;
    int result = -1;
    int value = 0;
};

std::vector<Outcome> outcomesOf(const std::string &output)
{
    std::vector<Outcome> outcomes;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        Outcome outcome;
        words >> outcome.command >> outcome.result >> outcome.value;
        outcomes.push_back(outcome);
    }
    return outcomes;
}

class Persistence : public testing::Test
{
protected:
    Persistence()
    {
        std::string pattern = (fs::temp_directory_path() / "velmor-persist-XXXXXX").string();
        m_directory = ::mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
        m_path = m_directory + "/state";
    }
    ~Persistence() override
    {
        std::error_code ignored;
        fs::remove_all(m_directory, ignored);
    }

    std::unique_ptr<ChildProcess> start(const std::vector<std::string> &commands, const std::string &bench = std::string())
    {
        std::vector<std::string> environment{"VELMOR_EMULATOR_STATE=" + m_path};
        if (!bench.empty())
            environment.push_back("VELMOR_EMULATOR_BENCH=" + bench);
        auto process = std::make_unique<ChildProcess>(VELMOR_TEST_HOST, commands, environment);
        EXPECT_TRUE(process->started());
        return process;
    }
    // The outcomes of the commands, one each, without the initialise every host process makes.
    static std::vector<Outcome> finish(ChildProcess &process, size_t commandCount)
    {
        std::vector<Outcome> outcomes;
        bool initialised = false;
        process.finish();
        for (const Outcome &outcome : outcomesOf(process.out())) {
            if (outcome.command == "initialise")
                initialised = outcome.result == VELMOR_OK;
            else
                outcomes.push_back(outcome);
        }
        EXPECT_EQ(process.exitStatus(), 0);
        EXPECT_TRUE(initialised);
        EXPECT_EQ(outcomes.size(), commandCount);
        outcomes.resize(commandCount);
        return outcomes;
    }
    static size_t commandCount(const std::vector<std::string> &words)
    {
        return size_t(std::count_if(words.begin(), words.end(), [](const std::string &word) { return std::isalpha(word[0]) != 0; }));
    }
    std::vector<Outcome> run(const std::vector<std::string> &commands, const std::string &bench = std::string())
    {
        return finish(*start(commands, bench), commandCount(commands));
    }

    std::string fileText() const
    {
        std::ifstream file(m_path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string m_directory;
    std::string m_path;
};

TEST_F(Persistence, AMoveStartedInOneProcessGoesOnInTheNextUntilStopped)
{
    const std::vector<Outcome> first = run({"move", "1", "4000"});  // 10 s at 400 steps/s
    EXPECT_EQ(first[0].result, VELMOR_OK);

    const std::vector<Outcome> second = run({"move", "1", "1", "position", "1", "stop", "1", "position", "1"});
    EXPECT_EQ(second[0].result, VELMOR_ERROR_NOT_READY_OTHER) << "still moving";
    EXPECT_GT(second[1].value, 0);
    EXPECT_LT(second[1].value, 4000);
    EXPECT_EQ(second[2].result, VELMOR_OK);
    EXPECT_GE(second[3].value, second[1].value);

    const std::vector<Outcome> third = run({"ready", "1", "position", "1"});
    EXPECT_EQ(third[0].value, 1);
    EXPECT_EQ(third[1].value, second[3].value);
}

TEST_F(Persistence, EachProcessGoesOnFromWhereTheLastLeftTheUnits)
{
    EXPECT_EQ(run({"move", "1", "40", "move", "2", "-24"})[1].result, VELMOR_OK);
    const std::vector<Outcome> second = run({"ready", "1", "position", "1", "position", "2", "move", "1", "-15"});
    EXPECT_EQ(second[0].value, 1) << "the short move has ended";
    EXPECT_EQ(second[1].value, 40);
    EXPECT_EQ(second[2].value, -24);
    EXPECT_EQ(second[3].result, VELMOR_OK);
    const std::vector<Outcome> third = run({"position", "1", "position", "2"});
    EXPECT_EQ(third[0].value, 25);
    EXPECT_EQ(third[1].value, -24);
}

// The unit keeps running between processes: the next process's handshake finds its firmware up
// and its motor as the last process left it, not started afresh.
TEST_F(Persistence, AMotorSwitchedOffStaysOffForTheNextProcess)
{
    EXPECT_EQ(run({"off", "1"})[0].result, VELMOR_OK);
    const std::vector<Outcome> second = run({"ready", "1", "move", "1", "10", "on", "1"});
    EXPECT_EQ(second[0].result, VELMOR_OK);
    EXPECT_EQ(second[0].value, 0);
    EXPECT_EQ(second[1].result, VELMOR_ERROR_NOT_READY_OFF);
    EXPECT_EQ(run({"ready", "1"})[0].value, 1);
}

TEST_F(Persistence, ProcessesAtOnceKeepEachOthersUnits)
{
    const int devices[] = {1, 2, 4};
    std::vector<std::unique_ptr<ChildProcess>> processes;
    for (int device : devices)
        processes.push_back(start({"move", std::to_string(device), std::to_string(10 * device), "position", std::to_string(device)}));
    for (auto &process : processes)
        EXPECT_EQ(finish(*process, 2)[0].result, VELMOR_OK);
    const std::vector<Outcome> positions = run({"position", "1", "position", "2", "position", "4"});
    for (size_t i = 0; i < positions.size(); ++i)
        EXPECT_EQ(positions[i].value, 10 * devices[i]) << "device " << devices[i];
}

TEST_F(Persistence, AFileOfAnotherBenchOrABrokenFileStartsAFreshBench)
{
    EXPECT_EQ(run({"move", "1", "30"}, "FT232R:JXah00101:2.0")[0].result, VELMOR_OK);
    EXPECT_EQ(run({"position", "1"}, "FT232R:JXah00101:2.0")[0].value, 30);
    const std::string otherBench = fileText();
    // Each file is made from the one the row before left: the default bench's, its unit at 7.
    const std::pair<const char *, std::function<std::string()>> files[] = {
        {"another bench", [&] { return otherBench; }},
        {"cut short", [&] { const std::string own = fileText(); return own.substr(0, own.size() - 10); }},
        {"bytes", [] { return std::string(300, '\x05'); }},
    };
    for (const auto &file : files) {
        const std::string text = file.second();
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << text;
        const std::vector<Outcome> fresh = run({"position", "1", "move", "1", "7"});
        EXPECT_EQ(fresh[0].result, VELMOR_OK) << file.first;
        EXPECT_EQ(fresh[0].value, 0) << file.first;
        EXPECT_EQ(run({"position", "1"})[0].value, 7) << file.first << ": the bench's own file again";
    }
}

TEST_F(Persistence, ABenchSetThroughTheControlApiLeavesTheFileAlone)
{
    run({"controlbench", "move", "1", "20"});
    EXPECT_FALSE(fs::exists(m_path));
    EXPECT_EQ(run({"move", "1", "40"})[0].result, VELMOR_OK);
    const std::string saved = fileText();
    const std::vector<Outcome> control = run({"controlbench", "position", "1", "move", "1", "10"});
    EXPECT_EQ(control[1].value, 0) << "a fresh bench, not the file's";
    EXPECT_EQ(fileText(), saved);
    EXPECT_EQ(run({"position", "1"})[0].value, 40);
}

} // namespace
