// The emulator's bench from VELMOR_EMULATOR_BENCH as a person writes it: every entry left out is
// said on standard error with its reason, once a process, and the entries that are fine still
// give their units. Each case is a process of its own (as CTest runs them), so the emulator meets
// the variable set here at the first D2XX call.
#include "FtdiLibrary.h"
#include "VelmorEmulator.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct BenchCase
{
    const char *name;
    const char *bench;
    DWORD interfaces;                  // listed by D2XX
    std::vector<std::string> messages; // reported, in order
};

void PrintTo(const BenchCase &row, std::ostream *out)
{
    *out << row.bench;
}

const std::string s_empty = "VELMOR_EMULATOR_BENCH gives no unit: the bench is empty";
const std::string s_form = "' left out: it is not CHIP:SERIAL or CHIP:SERIAL:FIRMWARE";

std::string leftOut(const std::string &entry, const std::string &reason)
{
    return "VELMOR_EMULATOR_BENCH: bench entry '" + entry + "' left out: " + reason;
}

const BenchCase s_cases[] = {
    {"BadFirmware", "FT232R:JXah00102:abc", 0,
     {leftOut("FT232R:JXah00102:abc", "the firmware 'abc' is not MAJOR.MINOR (each 0 to 65535)"), s_empty}},
    {"FirmwareBeyondSixteenBits", "FT232R:JXah00102:70000.0", 0,
     {leftOut("FT232R:JXah00102:70000.0", "the firmware '70000.0' is not MAJOR.MINOR (each 0 to 65535)"), s_empty}},
    {"Garbage", "garbage", 0, {"VELMOR_EMULATOR_BENCH: bench entry 'garbage" + s_form, s_empty}},
    {"NoSerial", "FT232R:", 0, {"VELMOR_EMULATOR_BENCH: bench entry 'FT232R:" + s_form, s_empty}},
    {"EmptyFirmware", "FT232R:JXah00102:", 0, {"VELMOR_EMULATOR_BENCH: bench entry 'FT232R:JXah00102:" + s_form, s_empty}},
    {"FourFields", "FT232R:JXah00102:3.0:1", 0,
     {"VELMOR_EMULATOR_BENCH: bench entry 'FT232R:JXah00102:3.0:1" + s_form, s_empty}},
    {"UnknownChipBesideAGoodUnit", "FT232R:JXah00102:3.0;FT999:JXah00103", 1,
     {leftOut("FT999:JXah00103", "'FT999' is no chip (FT232R, FT2232H, FT232H, XSERIES, FT4232H)")}},
    {"BlankInsideAField", "FT232R :JXah00101;FT232R:JX ah00102", 0,
     {leftOut("FT232R :JXah00101", "'FT232R ' is no chip (FT232R, FT2232H, FT232H, XSERIES, FT4232H)"),
      leftOut("FT232R:JX ah00102", "the serial number 'JX ah00102' holds a blank or a control character"), s_empty}},
    {"SerialTooLong", "FT232R:JXah001021234567", 0,
     {leftOut("FT232R:JXah001021234567", "the serial number 'JXah001021234567' is longer than 15 characters"), s_empty}},
    {"SerialTooLongForTwoInterfaces", "FT2232H:JXbh010011234XY", 0,
     {leftOut("FT2232H:JXbh010011234XY", "the serial number 'JXbh010011234XY' is longer than 14 characters"), s_empty}},
    // Blanks around entries and empty entries are no fault.
    {"TrailingBlank", "FT232R:JXah00102:3.0 ", 1, {}},
    {"BlanksAndEmptyEntries", " FT232R:JXah00101 ;; FT2232H:JXbh01001:1.0;", 3, {}},
};

class EmulatorBenchDiagnostics : public testing::TestWithParam<BenchCase>
{
};

TEST_P(EmulatorBenchDiagnostics, EveryEntryLeftOutIsReportedWithItsReason)
{
    const BenchCase &row = GetParam();
    qputenv("VELMOR_EMULATOR_BENCH", QByteArray(row.bench));
    qputenv("VELMOR_EMULATOR_STATE", QByteArray("off"));
    const std::vector<std::string> &expected = row.messages;

    testing::internal::CaptureStderr();
    DWORD count = 99;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_OK);
    const std::string written = testing::internal::GetCapturedStderr();

    EXPECT_EQ(count, row.interfaces);
    EXPECT_EQ(VelmorEmulator::diagnostics(), expected);
    std::string lines;
    for (const std::string &message : expected)
        lines += "velmor emulator: " + message + "\n";
    EXPECT_EQ(written, lines) << "each message once, however often the bench is listed";
}

INSTANTIATE_TEST_SUITE_P(Benches, EmulatorBenchDiagnostics, testing::ValuesIn(s_cases),
                         [](const testing::TestParamInfo<BenchCase> &info) { return std::string(info.param.name); });

// The bench made again from the variable reports nothing new.
TEST(EmulatorBenchDiagnosticsOnce, AgainForTheSameBenchSaysNothing)
{
    qputenv("VELMOR_EMULATOR_BENCH", QByteArray("garbage"));
    qputenv("VELMOR_EMULATOR_STATE", QByteArray("off"));
    VelmorEmulator::useDefaultBench();
    testing::internal::CaptureStderr();
    VelmorEmulator::useDefaultBench();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(VelmorEmulator::diagnostics().size(), 2u);
}

} // namespace
