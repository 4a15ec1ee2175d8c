// The state file when something is wrong with it: a file that cannot be written, or that is
// there but damaged or of another bench, is said on standard error once a process; "off" in any
// letter case keeps no file at all. Each case is a process of its own (as CTest runs them).
#include "BusStart.h"
#include "FtdiLibrary.h"
#include "VelmorEmulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr const char *s_bench = "FT232R:JXah00102:2.1";

class EmulatorStateDiagnostics : public testing::Test
{
protected:
    EmulatorStateDiagnostics()
    {
        std::string pattern = (fs::temp_directory_path() / "velmor-diagnostics-XXXXXX").string();
        m_directory = ::mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
        ::setenv("VELMOR_EMULATOR_BENCH", s_bench, 1);
    }
    ~EmulatorStateDiagnostics() override
    {
        std::error_code ignored;
        fs::remove_all(m_directory, ignored);
    }

    void useStateFile(const std::string &path) const { ::setenv("VELMOR_EMULATOR_STATE", path.c_str(), 1); }

    // The first D2XX call of the process makes the bench and reads the file.
    static std::string listedWithStandardError()
    {
        testing::internal::CaptureStderr();
        DWORD count = 0;
        EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
        EXPECT_EQ(count, 1u);
        return testing::internal::GetCapturedStderr();
    }

    // The start command over the bus: a change the emulator saves.
    static void changeUnit() { startOverTheBus(0); }

    static std::string textOf(const std::string &path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string m_directory;
};

TEST_F(EmulatorStateDiagnostics, AFileInAMissingFolderIsReportedOnceAndTheBenchStillWorks)
{
    const std::string path = m_directory + "/missing/state";
    useStateFile(path);
    const std::string message = "state file '" + path + "' cannot be used (" + path
        + ".lock: No such file or directory): the units' state is not kept between processes";
    EXPECT_EQ(listedWithStandardError(), "velmor emulator: " + message + "\n");
    testing::internal::CaptureStderr();
    changeUnit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(VelmorEmulator::diagnostics(), std::vector<std::string>{message});
}

TEST_F(EmulatorStateDiagnostics, AFileUnderAFileIsReported)
{
    std::ofstream(m_directory + "/plain") << "not a folder";
    const std::string path = m_directory + "/plain/state";
    useStateFile(path);
    EXPECT_EQ(listedWithStandardError(), "velmor emulator: state file '" + path + "' cannot be used (" + path
                                             + ".lock: Not a directory): the units' state is not kept between processes\n");
}

// No one may create files in /sys, root included: the system says why (denied, or a read-only
// file system).
TEST_F(EmulatorStateDiagnostics, AFileInAFolderNoOneMayWriteIsReported)
{
    const std::string path = "/sys/velmor-emulator-state";
    useStateFile(path);
    const std::string written = listedWithStandardError();
    const std::string start = "velmor emulator: state file '" + path + "' cannot be used (" + path + ".lock: ";
    const std::string end = "): the units' state is not kept between processes\n";
    EXPECT_EQ(written.rfind(start, 0), 0u) << written;
    ASSERT_GT(written.size(), start.size() + end.size()) << written;
    EXPECT_EQ(written.substr(written.size() - end.size()), end) << written;
}

struct DamagedFile
{
    const char *name;
    std::string text;
    std::string problem;
};

void PrintTo(const DamagedFile &row, std::ostream *out)
{
    *out << row.name;
}

// A whole file as the emulator writes it for the bench, its one unit's text given.
std::string fileFor(const std::string &benchHex, const std::string &unit)
{
    return "velmor-emulator-state 1\nbench=" + benchHex + "\nunits=1\n" + unit + "end\n";
}

std::string hexOf(const std::string &text)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text)
        hex += std::string{digits[c >> 4], digits[c & 15]};
    return hex;
}

const DamagedFile s_damaged[] = {
    {"Empty", "", "it is empty"},
    {"CutShort", "velmor-emulator-state 1\nbench=", "it is cut short (its last line is not \"end\")"},
    {"NotAStateFile", "hello\nend\n", "it is not an emulator state file of this version"},
    {"AnotherBench", fileFor(hexOf("FT232R:JXah00101:2.0"), "velmor-unit-state 1\n"), "it was written for another bench"},
    {"OtherUnits", "velmor-emulator-state 1\nbench=" + hexOf(s_bench) + "\nunits=2\nend\n",
     "its units are not those of the bench"},
    {"DamagedUnit", fileFor(hexOf(s_bench), "velmor-unit-state 1\nmotor.origin=x\n"), "the state of unit 1 is damaged"},
};

class EmulatorDamagedStateFile : public EmulatorStateDiagnostics, public testing::WithParamInterface<DamagedFile>
{
};

TEST_P(EmulatorDamagedStateFile, IsReportedAndReplacedAtTheNextChange)
{
    const std::string path = m_directory + "/state";
    useStateFile(path);
    std::ofstream(path, std::ios::binary) << GetParam().text;
    EXPECT_EQ(listedWithStandardError(), "velmor emulator: state file '" + path + "' is not used: " + GetParam().problem
                                             + "; the units start afresh, and the file is replaced at the next change\n");
    changeUnit();
    const std::string replaced = textOf(path);
    EXPECT_EQ(replaced.rfind("velmor-emulator-state 1\nbench=" + hexOf(s_bench) + "\n", 0), 0u) << replaced;
    EXPECT_EQ(VelmorEmulator::diagnostics().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Files, EmulatorDamagedStateFile, testing::ValuesIn(s_damaged),
                         [](const testing::TestParamInfo<DamagedFile> &info) { return std::string(info.param.name); });

class EmulatorStateOff : public EmulatorStateDiagnostics, public testing::WithParamInterface<const char *>
{
};

// Run in a folder of its own: no file named after the word appears there.
TEST_P(EmulatorStateOff, InAnyLetterCaseKeepsNoFile)
{
    const fs::path before = fs::current_path();
    fs::current_path(m_directory);
    useStateFile(GetParam());
    EXPECT_EQ(listedWithStandardError(), "");
    changeUnit();
    EXPECT_TRUE(fs::is_empty(m_directory));
    EXPECT_TRUE(VelmorEmulator::diagnostics().empty());
    fs::current_path(before);
}

INSTANTIATE_TEST_SUITE_P(Words, EmulatorStateOff, testing::Values("off", "OFF", "Off"));

} // namespace
