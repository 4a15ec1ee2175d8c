// The emulator's default bench in its state file, seen from one long-lived process: what another
// process saved is taken in between calls, files that are not the bench's count for nothing, and
// a bench set through the control API leaves the file alone.
#include "Bench.h"
#include "BusStart.h"
#include "FtdiLibrary.h"
#include "ChildProcess.h"
#include "VelmorEmulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using velmor_firmware::RunState;

constexpr const char *s_bench = "FT232R:JXah00102:2.1;FT232R:JXah00101:2.0";

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    const size_t at = text.find(from);
    if (at == std::string::npos) {
        ADD_FAILURE() << "no " << from;
        return text;
    }
    return text.replace(at, from.size(), to);
}

// After the unit state's n-th format line: the start of the n-th unit's text (n from 1).
size_t unitTextAt(const std::string &text, int unit)
{
    size_t at = 0;
    for (int n = 0; n <= unit; ++n)
        at = text.find("velmor-unit-state 1\n", at + 1);
    return at;
}

// Each test is a process of its own, so the emulator first meets the environment set here.
class EmulatorStateFile : public testing::Test
{
protected:
    EmulatorStateFile()
    {
        std::string pattern = (fs::temp_directory_path() / "velmor-state-XXXXXX").string();
        m_directory = ::mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
        m_path = m_directory + "/state";
        ::setenv("VELMOR_EMULATOR_STATE", m_path.c_str(), 1);
        ::setenv("VELMOR_EMULATOR_BENCH", s_bench, 1);
    }
    ~EmulatorStateFile() override
    {
        std::error_code ignored;
        fs::remove_all(m_directory, ignored);
    }

    std::string fileText() const
    {
        std::ifstream file(m_path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    void writeFile(const std::string &text) const
    {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << text;
    }

    static void list()
    {
        DWORD count = 0;
        ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    }
    static int32_t position(size_t unit) { return VelmorEmulator::unit(unit).motorState().position; }
    static RunState runState(size_t unit) { return VelmorEmulator::unit(unit).runState(); }

    // Unit 0 started at 777, unit 1 left fresh, as the file keeps them.
    std::string savedBench()
    {
        list();
        EXPECT_EQ(runState(0), RunState::Bootloader);
        VelmorEmulator::unit(0).setPosition(777);
        startOverTheBus(0);
        const std::string text = fileText();
        EXPECT_NE(text.find("motor.origin=777\n"), std::string::npos) << text;
        return text;
    }

    std::string m_directory;
    std::string m_path;
};

TEST_F(EmulatorStateFile, WhatAnotherProcessSavedIsTakenInAtTheNextListingOrOpen)
{
    const std::string saved = savedBench();
    EXPECT_EQ(saved.rfind("velmor-emulator-state 1\n", 0), 0u);
    EXPECT_EQ(saved.substr(saved.size() - 4), "end\n");

    writeFile(replaced(saved, "motor.origin=777", "motor.origin=555"));
    EXPECT_EQ(position(0), 777) << "taken in only at a D2XX call";
    list();
    EXPECT_EQ(position(0), 555);
    EXPECT_NE(runState(0), RunState::Bootloader);

    writeFile(replaced(saved, "motor.origin=777", "motor.origin=444"));
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    EXPECT_EQ(position(0), 444);

    // While the unit is open here this process has it; it follows the file again once closed.
    writeFile(replaced(saved, "motor.origin=777", "motor.origin=333"));
    list();
    EXPECT_EQ(position(0), 444);
    EXPECT_EQ(FT_Close(handle), FT_OK);
    list();
    EXPECT_EQ(position(0), 333);
}

TEST_F(EmulatorStateFile, AFileThatIsNotTheBenchsChangesNothing)
{
    const std::string saved = savedBench();
    const std::string moved = replaced(saved, "motor.origin=777", "motor.origin=555");
    const size_t secondUnit = unitTextAt(moved, 1);
    ASSERT_NE(secondUnit, std::string::npos);
    const std::pair<const char *, std::string> files[] = {
        {"empty", ""},
        {"not this format", "hello\n" + moved},
        {"bytes", std::string(4000, '\xff')},
        {"cut in half", moved.substr(0, moved.size() / 2)},
        {"without its last line", moved.substr(0, moved.size() - 4)},
        {"another bench", replaced(moved, "bench=", "bench=41")},
        {"another unit count", replaced(moved, "units=2", "units=3")},
        {"a unit of another make", moved.substr(0, secondUnit) + replaced(moved.substr(secondUnit), "setup.firmwareMajor=2", "setup.firmwareMajor=3")},
        {"a record cut short", moved.substr(0, secondUnit) + replaced(moved.substr(secondUnit), "record.pwmSettings=", "record.pwmSettings=0")},
        {"a number out of range", replaced(moved, "motor.moveElapsed=", "motor.moveElapsed=99999999999999999999")},
        {"too long", replaced(moved, "end\n", "pad=" + std::string(2 << 20, '0') + "\nend\n")},
    };
    for (const auto &file : files) {
        writeFile(file.second);
        list();
        EXPECT_EQ(position(0), 777) << file.first;
        EXPECT_NE(runState(0), RunState::Bootloader) << file.first;
    }

    // The next change over the bus puts the bench's own file back.
    startOverTheBus(1);
    const std::string rewritten = fileText();
    EXPECT_EQ(rewritten.rfind("velmor-emulator-state 1\n", 0), 0u);
    EXPECT_NE(rewritten.find("motor.origin=777\n"), std::string::npos);
    EXPECT_EQ(rewritten.substr(rewritten.size() - 4), "end\n");
}

TEST_F(EmulatorStateFile, AMissingFileLeavesTheBenchFreshAndTheFirstChangeWritesIt)
{
    list();
    EXPECT_FALSE(fs::exists(m_path)) << "listing alone writes nothing";
    EXPECT_EQ(runState(1), RunState::Bootloader);
    startOverTheBus(1);
    EXPECT_TRUE(fs::exists(m_path));
    fs::remove(m_path);
    list();
    EXPECT_NE(runState(1), RunState::Bootloader) << "a file removed later leaves this process's units as they are";
}

// The chip's EEPROM belongs to the unit: programmed here it is saved, programmed elsewhere it is
// what the listing here shows.
TEST_F(EmulatorStateFile, TheChipsEepromIsKeptWithItsUnit)
{
    list();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(1, &handle), FT_OK);
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 2;
    char serial[] = "JXah00101";
    char description[] = "Rig 4";
    data.SerialNumber = serial;
    data.Description = description;
    data.MaxPower = 90;
    ASSERT_EQ(FT_EE_Program(handle, &data), FT_OK);
    EXPECT_EQ(FT_Close(handle), FT_OK);
    const std::string saved = fileText();
    EXPECT_NE(saved.find("eeprom.description=5269672034\n"), std::string::npos) << "Rig 4";
    EXPECT_NE(saved.find("eeprom.maxPower=90\n"), std::string::npos);

    writeFile(replaced(saved, "eeprom.description=5269672034\n", "eeprom.description=5269672035\n"));
    list();
    FT_DEVICE_LIST_INFO_NODE nodes[2];
    DWORD count = 2;
    ASSERT_EQ(FT_GetDeviceInfoList(nodes, &count), FT_OK);
    EXPECT_STREQ(nodes[1].Description, "Rig 5");
}

// As with real units: another process cannot open the unit while this one has it open.
TEST_F(EmulatorStateFile, AnInterfaceOpenHereCannotBeOpenedByAnotherProcess)
{
    list();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    ChildProcess whileOpen(VELMOR_TEST_HOST, {"position", "1"}, {});
    whileOpen.finish();
    EXPECT_EQ(whileOpen.out(), "initialise 0\nposition 3 0\n") << "the library's code for a failed open";
    EXPECT_EQ(FT_Close(handle), FT_OK);
    ChildProcess afterClose(VELMOR_TEST_HOST, {"position", "1"}, {});
    afterClose.finish();
    EXPECT_EQ(afterClose.out(), "initialise 0\nposition 0 0\n");
    list();
    EXPECT_NE(runState(0), RunState::Bootloader) << "started by the other process";
}

class EmulatorControlBench : public EmulatorStateFile, public testing::WithParamInterface<const char *>
{
};

TEST_P(EmulatorControlBench, NeverReadsOrWritesTheFile)
{
    const std::string before = savedBench();
    fs::remove(m_path + ".lock");
    if (std::string(GetParam()) == "setBench")
        bench::set({bench::ft232r("JXah00102", 2, 1), bench::ft232r("JXah00101", 2, 0)});
    else
        VelmorEmulator::useDefaultBench();
    list();
    EXPECT_EQ(runState(0), RunState::Bootloader) << "a fresh bench, not the file's";
    VelmorEmulator::unit(0).setPosition(5);
    startOverTheBus(0);
    startOverTheBus(1);
    EXPECT_EQ(fileText(), before);
    EXPECT_FALSE(fs::exists(m_path + ".lock"));
}

INSTANTIATE_TEST_SUITE_P(Benches, EmulatorControlBench, testing::Values("setBench", "useDefaultBench"));

} // namespace
