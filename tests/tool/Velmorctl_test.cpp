// velmorctl driven as a user drives it: separate runs of the built binary on the emulator's
// default bench, each test with a bench and a unit state file of its own. On Windows the
// emulator keeps each run's bench its own, has no signals or pseudo-terminals to give, and
// nothing can be preloaded into a program: the tests that need these are skipped there.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// Unit 1 is a hardware 1.2 unit on an FT232R, unit 2 a hardware 10.1 unit on an FT232H.
const char s_bench[] = "FT232R:JXah00102:3.0;FT232H:JXbh01001:1.0";

#if defined(_WIN32)
constexpr bool s_onPosix = false;
#else
constexpr bool s_onPosix = true;
#endif
#if defined(D2XX_RECORDER_PATH)
constexpr bool s_recordsD2xx = true;
#else
constexpr bool s_recordsD2xx = false;
#endif

#define SKIP_UNLESS(condition, reason) \
    if (!(condition))                   \
    GTEST_SKIP() << reason

fs::path newTemporaryDirectory()
{
    std::random_device random;
    for (;;) {
        const fs::path path = fs::temp_directory_path() / ("velmorctl-test-" + std::to_string(random()));
        if (fs::create_directory(path))
            return path;
    }
}

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::string joined(const std::vector<std::string> &words)
{
    std::string text;
    for (const std::string &word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

QJsonObject jsonObjectOf(const std::string &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line << ": " << error.errorString().toStdString();
    EXPECT_TRUE(document.isObject()) << line;
    return document.object();
}

class Velmorctl : public ::testing::Test
{
protected:
    void SetUp() override { m_directory = newTemporaryDirectory(); }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_directory, ignored);
    }

    // The profile folder is the test's own, empty until a test writes into it: profiles of
    // the user's or the machine's never reach the runs.
    std::vector<std::string> environment() const
    {
        return {"VELMOR_EMULATOR_BENCH=" + m_bench, "VELMOR_EMULATOR_STATE=" + (m_directory / "units.state").string(),
                "VELMOR_PROFILES=" + profileFolder().string()};
    }

    fs::path profileFolder() const { return m_directory / "profiles"; }

    std::unique_ptr<ChildProcess> start(const std::vector<std::string> &arguments, const std::string &input = "") const
    {
        auto process = std::make_unique<ChildProcess>(VELMORCTL_PATH, arguments, environment(), input);
        EXPECT_TRUE(process->started());
        return process;
    }

    std::unique_ptr<ChildProcess> run(const std::vector<std::string> &arguments, const std::string &input = "") const
    {
        std::unique_ptr<ChildProcess> process = start(arguments, input);
        process->finish();
        return process;
    }

    // A run with every D2XX function shadowed by one that notes its name in d2xxLog(). Where
    // nothing can be preloaded the log stays empty, and the run is checked by its output alone.
    std::unique_ptr<ChildProcess> runRecordingD2xx(const std::vector<std::string> &arguments) const
    {
        std::vector<std::string> changes = environment();
#if defined(D2XX_RECORDER_PATH)
        changes.push_back(std::string("LD_PRELOAD=") + D2XX_RECORDER_PATH);
#endif
        changes.push_back("VELMORCTL_TEST_D2XX_LOG=" + d2xxLogPath().string());
        // A sanitizer runtime wants to come first among the preloaded libraries.
        changes.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
        auto process = std::make_unique<ChildProcess>(VELMORCTL_PATH, arguments, changes);
        process->finish();
        return process;
    }

    // A run in which the units whose serial numbers unpluggedPath() names, whenever the test
    // writes them there, are no longer listed, as if unplugged.
    std::unique_ptr<ChildProcess> startUnplugging(const std::vector<std::string> &arguments, const std::string &input) const
    {
        std::vector<std::string> changes = environment();
#if defined(D2XX_RECORDER_PATH)
        changes.push_back(std::string("LD_PRELOAD=") + D2XX_RECORDER_PATH);
#endif
        changes.push_back("VELMORCTL_TEST_UNPLUGGED=" + unpluggedPath().string());
        changes.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
        return std::make_unique<ChildProcess>(VELMORCTL_PATH, arguments, changes, input);
    }

    fs::path unpluggedPath() const { return m_directory / "unplugged"; }
    void unplug(const std::vector<std::string> &serials) const
    {
        std::ofstream file(unpluggedPath());
        for (const std::string &serial : serials)
            file << serial << "\n";
    }

    fs::path d2xxLogPath() const { return m_directory / "d2xx.log"; }

    std::string d2xxLog() const
    {
        std::ifstream file(d2xxLogPath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path m_directory;
    std::string m_bench = s_bench;
};

TEST_F(Velmorctl, ASessionAtTheBenchListsSetsUpMovesAndReads)
{
    const auto session = run({"list", "on", "1", "speed", "1", "800", "4", "accel", "1", "0", "current", "1", "800", "1",
                              "backlash", "1", "1", "0", "10", "limits", "1", "1", "1", "2", "4", "move-to", "1", "400",
                              "--wait", "position", "1", "ready", "1", "home-settings", "1", "1", "0", "1", "10000", "0",
                              "pwm", "1", "100", "pwm-step-mode", "1", "relay", "1", "on", "home", "1", "--wait", "stop",
                              "1"});
    EXPECT_EQ(session->exitStatus(), 0) << session->err();
    EXPECT_EQ(linesOf(session->out()), (std::vector<std::string>{
                                           "2 supported units",
                                           "1     JXah00102        FT232R    hardware 1.2   firmware 3.0",
                                           "2     JXbh01001        FT232H    hardware 10.1  firmware 1.0",
                                           "motor of unit 1 switched on",
                                           "speed of unit 1 set to 800 steps/s, step mode 4",
                                           "acceleration of unit 1 set to 0 steps/s^2",
                                           "current of unit 1 set to 800 mA, current flag 1",
                                           "backlash compensation of unit 1 set: enabled 1, direction 0, amount 10 steps",
                                           "limit switches of unit 1 set: input 1 type 1, input 2 type 4",
                                           "unit 1 reached position 400",
                                           "position of unit 1: 400",
                                           "unit 1 is ready",
                                           "home settings of unit 1 set: direction 1, flag B 0, flag A 1, value A 10000, "
                                           "value B 0",
                                           "PWM value of unit 1 set to 100",
                                           "PWM output of unit 1 set to step mode",
                                           "relay of unit 1 switched on",
                                           "unit 1 is home, at position 0",
                                           "motor of unit 1 stopped",
                                       }));
    // Standard error is a pipe: the progress comes as plain lines, not as a redrawn bar.
    EXPECT_NE(session->err().find("move-to unit 1: position "), std::string::npos) << session->err();
    EXPECT_EQ(session->err().find('\r'), std::string::npos);

    // The first failing command ends the run with its code; the commands after it do not run.
    const auto failing = run({"off", "JXah00102", "move-to", "1", "5", "position", "1"});
    EXPECT_EQ(failing->exitStatus(), 15);
    EXPECT_EQ(failing->out(), "motor of unit JXah00102 switched off\n");
    EXPECT_EQ(failing->err(), "velmorctl: move-to unit 1: the motor is not ready (state 0) (code 15)\n");
}

struct LibraryFailure
{
    std::vector<std::string> arguments;
    int code;
    std::string message;
};

void PrintTo(const LibraryFailure &failure, std::ostream *stream)
{
    *stream << joined(failure.arguments);
}

class VelmorctlLibraryFailure : public Velmorctl, public ::testing::WithParamInterface<LibraryFailure>
{
};

// Values within their C types go to the library, which judges them and whose code becomes the
// exit status.
TEST_P(VelmorctlLibraryFailure, ExitsWithTheLibrarysCodeAndItsText)
{
    const auto process = run(GetParam().arguments);
    EXPECT_EQ(process->exitStatus(), GetParam().code);
    EXPECT_EQ(process->out(), "");
    EXPECT_EQ(process->err(), GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VelmorctlLibraryFailure,
    ::testing::Values(
        LibraryFailure{{"position", "JXah09999"}, 28,
                       "velmorctl: position unit JXah09999: no supported unit has this serial number (code 28)"},
        LibraryFailure{{"position", "3"}, 1, "velmorctl: position unit 3: the device index is out of range (code 1)"},
        // A refused value is explained with the unit's range.
        LibraryFailure{{"backlash", "1", "1", "2", "10"}, 21,
                       "velmorctl: backlash unit 1: an argument is out of range (code 21): direction 2 is neither 0 nor 1"},
        LibraryFailure{{"home-settings", "1", "0", "0", "0", "10001", "0"}, 21,
                       "velmorctl: home-settings unit 1: an argument is out of range (code 21): home value A 10001 is "
                       "above the 10000 maximum"},
        LibraryFailure{{"limits", "1", "5", "1", "1", "1"}, 21,
                       "velmorctl: limits unit 1: an argument is out of range (code 21): input 5 is outside the inputs "
                       "1 to 4 of this unit (hardware 1.2)"},
        LibraryFailure{{"current", "1", "8001", "1"}, 5,
                       "velmorctl: current unit 1: writing the motor configuration failed (code 5): 8001 mA is above "
                       "the 8000 mA maximum of this unit (hardware 1.2)"},
        LibraryFailure{{"speed", "1", "-5", "0"}, 7,
                       "velmorctl: speed unit 1: writing the motion configuration failed (code 7): a speed of -5 "
                       "steps/s is below 0"},
        LibraryFailure{{"speed", "1", "2000", "5"}, 7,
                       "velmorctl: speed unit 1: writing the motion configuration failed (code 7): 2000 steps/s at step "
                       "mode 5 is a step rate of 64000 steps/s, above the 20000 steps/s maximum of this unit (hardware "
                       "1.2)"},
        LibraryFailure{{"speed", "1", "1", "255"}, 7,
                       "velmorctl: speed unit 1: writing the motion configuration failed (code 7): 1 steps/s at step "
                       "mode 255 is a step rate far above the 20000 steps/s maximum of this unit (hardware 1.2)"},
        LibraryFailure{{"accel", "1", "-1"}, 7,
                       "velmorctl: accel unit 1: writing the motion configuration failed (code 7): an acceleration of "
                       "-1 steps/s^2 is below 0"},
        LibraryFailure{{"pwm", "1", "-1"}, 13,
                       "velmorctl: pwm unit 1: setting the PWM value failed (code 13): a PWM value of -1 is below 0"},
        // The extremes of each C type reach the library unchanged.
        LibraryFailure{{"home-settings", "1", "4294967295", "255", "255", "0", "0"}, 21,
                       "velmorctl: home-settings unit 1: an argument is out of range (code 21): direction 4294967295 is "
                       "neither 0 nor 1"},
        LibraryFailure{{"limits", "1", "-2147483648", "4294967295", "2147483647", "0"}, 21,
                       "velmorctl: limits unit 1: an argument is out of range (code 21): input -2147483648 is outside "
                       "the inputs 1 to 4 of this unit (hardware 1.2); input 2147483647 is outside the inputs 1 to 4 of "
                       "this unit (hardware 1.2)"},
        LibraryFailure{{"current", "1", "-2147483648", "255"}, 5,
                       "velmorctl: current unit 1: writing the motor configuration failed (code 5): -2147483648 mA is "
                       "below the 50 mA minimum of this unit (hardware 1.2)"}));

TEST_F(Velmorctl, JsonGivesOneObjectPerCommandThatParsesBack)
{
    // The escaping of odd text (quotes, backslashes, control characters, bytes that are not
    // UTF-8) is the parsing test's: no such text reaches a UNIT any more.
    const auto process = run({"--json", "list", "on", "1", "move-by", "1", "-20", "--wait", "position", "jxAH00102",
                              "relay", "1", "on", "position", "JXah09999"});
    EXPECT_EQ(process->exitStatus(), 28);
    const std::vector<std::string> lines = linesOf(process->out());
    ASSERT_EQ(lines.size(), 6u) << process->out();

    const QJsonObject list = jsonObjectOf(lines[0]);
    EXPECT_EQ(list["command"].toString(), "list");
    EXPECT_EQ(list["count"].toInt(), 2);
    const QJsonObject first = list["units"].toArray()[0].toObject();
    EXPECT_EQ(first["serial"].toString(), "JXah00102");
    EXPECT_EQ(first["chip"].toString(), "FT232R");
    EXPECT_EQ(first["hardware"].toString(), "1.2");
    EXPECT_EQ(first["firmware"].toString(), "3.0");

    const QJsonObject move = jsonObjectOf(lines[2]);
    EXPECT_EQ(move["command"].toString(), "move-by");
    EXPECT_EQ(move["code"].toInt(), 0);
    EXPECT_EQ(move["arguments"].toObject()["steps"].toInt(), -20);
    EXPECT_TRUE(move["waited"].toBool());
    EXPECT_EQ(move["position"].toInt(), -20);

    const QJsonObject position = jsonObjectOf(lines[3]);
    EXPECT_EQ(position["unit"].toString(), "jxAH00102");
    EXPECT_EQ(position["index"].toInt(), 1);
    EXPECT_EQ(position["text"].toString(), "success");
    EXPECT_EQ(position["position"].toInt(), -20);

    EXPECT_TRUE(jsonObjectOf(lines[4])["arguments"].toObject()["on"].toBool());

    const QJsonObject unknown = jsonObjectOf(lines[5]);
    EXPECT_EQ(unknown["unit"].toString(), "JXah09999");
    EXPECT_EQ(unknown["index"].toInt(), -1);
    EXPECT_EQ(unknown["code"].toInt(), 28);
    EXPECT_EQ(unknown["text"].toString(), "no supported unit has this serial number");
}

TEST_F(Velmorctl, JsonCodesAreTheWholeTable)
{
    const auto process = run({"--json", "codes"});
    EXPECT_EQ(process->exitStatus(), 0);
    const QJsonArray codes = QJsonDocument::fromJson(QByteArray::fromStdString(process->out())).array();
    ASSERT_EQ(codes.size(), 34);
    EXPECT_EQ(codes[16].toObject()["code"].toInt(), 16);
    EXPECT_EQ(codes[16].toObject()["text"].toString(), "the motor is not ready (state 4)");
    EXPECT_EQ(codes[33].toObject()["text"].toString(), "setting the PWM step mode failed");
}

TEST_F(Velmorctl, VersionAndStatusReadTheUnitBack)
{
    const auto version = run({"--version"});
    EXPECT_EQ(version->exitStatus(), 0);
    const std::string out = version->out();
    ASSERT_EQ(out.rfind("velmorctl ", 0), 0u) << out;
    const std::string tool = out.substr(10, out.find(',') - 10);
    EXPECT_EQ(out, "velmorctl " + tool + ", VelmorLib " + tool + "\n");

    const auto session = run({"speed", "1", "300", "2", "current", "1", "750", "1", "backlash", "1", "1", "1", "12",
                              "on", "1", "move-by", "1", "40", "--wait", "status", "1"});
    ASSERT_EQ(session->exitStatus(), 0) << session->err();
    const std::vector<std::string> lines = linesOf(session->out());
    ASSERT_EQ(lines.size(), 12u) << session->out();
    EXPECT_EQ(lines[5], "unit 1: JXah00102 on FT232R at location 0x1000, hardware 1.2, firmware 3.0, stored serial "
                        "JXah00102");
    EXPECT_EQ(lines[6].rfind("  position 40 full steps (counter ", 0), 0u) << lines[6];
    EXPECT_NE(lines[6].find("), ready"), std::string::npos) << lines[6];
    EXPECT_EQ(lines[7].rfind("  speed 300 steps/s, step mode 2, acceleration ", 0), 0u) << lines[7];
    EXPECT_EQ(lines[8], "  current 750 mA, current flag 1");
    EXPECT_EQ(lines[9], "  backlash compensation on, direction 1, 12 steps");
    EXPECT_EQ(lines[11].rfind("  accepts: current 50 to 8000 mA, step rate up to 20000 steps/s", 0), 0u) << lines[11];

    const auto json = run({"--json", "status", "2"});
    const QJsonObject status = jsonObjectOf(linesOf(json->out()).at(0));
    EXPECT_EQ(status["info"].toObject()["hardware"].toString(), "10.1");
    EXPECT_EQ(status["info"].toObject()["chip"].toString(), "FT232H");
    EXPECT_TRUE(status["motor"].toObject()["ready"].toBool());
    EXPECT_FALSE(status["limits"].toObject()["relay"].toBool());
}

// A waited move holds its unit, and a shell session every unit it touched: another program
// cannot open them meanwhile, as with any unit open in a program.
TEST_F(Velmorctl, AShellHoldsTheUnitsItTouched)
{
    SKIP_UNLESS(s_onPosix, "each run has a bench of its own here");
    const auto shell = start({"shell"}, "position 1\non 2 move-to 2 1500 --wait\n");
    ASSERT_TRUE(shell->waitForError("move-to unit 2: position ", milliseconds(10000))) << shell->err();
    const auto other = run({"position", "1"});
    EXPECT_EQ(other->exitStatus(), 3) << other->err();
    EXPECT_EQ(other->err(), "velmorctl: position unit 1: opening the unit failed (code 3): the unit is open in "
                            "another program (close it there, or wait for it with --retry-busy SECONDS)\n");
    // A value outside the unit's range is not what kept the call from the unit: only that is said.
    const auto refused = run({"current", "1", "8001", "1"});
    EXPECT_EQ(refused->exitStatus(), 3) << refused->err();
    EXPECT_EQ(refused->err(), "velmorctl: current unit 1: opening the unit failed (code 3): the unit is open in "
                              "another program (close it there, or wait for it with --retry-busy SECONDS)\n");
    const auto moving = run({"--json", "position", "2"});
    EXPECT_EQ(moving->exitStatus(), 3) << moving->err();
    const QJsonValue busyReason = jsonObjectOf(moving->out())["reason"];
    EXPECT_EQ(busyReason.toString().toStdString(),
              "the unit is open in another program (close it there, or wait for it with --retry-busy SECONDS)");
    // Named by its serial number, a busy unit is found all the same, and said to be busy.
    const auto bySerialNow = run({"--json", "position", "jxBH01001"});
    EXPECT_EQ(bySerialNow->exitStatus(), 3) << bySerialNow->err();
    const QJsonObject bySerialResult = jsonObjectOf(bySerialNow->out());
    EXPECT_EQ(bySerialResult["index"].toInt(), 2);
    EXPECT_EQ(bySerialResult["reason"], busyReason);
    // doctor names the units another program has open, and opens neither.
    const auto doctor = run({"--json", "doctor", "--root", m_directory.string()});
    EXPECT_EQ(doctor->exitStatus(), 1) << doctor->out();
    std::vector<std::string> busyUnits;
    for (const QJsonValue &check : jsonObjectOf(doctor->out())["checks"].toArray()) {
        if (check["check"] == "unit" && !check["ok"].toBool())
            busyUnits.push_back(check["finding"].toString().toStdString());
    }
    EXPECT_EQ(busyUnits, (std::vector<std::string>{"JXah00102 is open in another program",
                                                   "JXbh01001 is open in another program"}));
    // list names them by the serial numbers D2XX lists, which it reads without opening them.
    const std::string busy = "opening the unit failed (code 3): " + busyReason.toString().toStdString();
    EXPECT_EQ(linesOf(run({"list"})->out()), (std::vector<std::string>{"2 supported units",
                                                                       "1     JXah00102        " + busy,
                                                                       "2     JXbh01001        " + busy}));
    // Retried for a while only: the unit stays busy, and the run says so.
    const auto impatient = run({"--retry-busy", "0.5", "position", "1"});
    EXPECT_EQ(impatient->exitStatus(), 3);
    EXPECT_EQ(impatient->err(), other->err());
    // Retried until the shell lets go of the unit.
    const auto patient = start({"position", "2", "--retry-busy", "60"});
    const auto bySerial = start({"--retry-busy=60", "position", "JXbh01001"});
    shell->finish();
    EXPECT_EQ(shell->exitStatus(), 0) << shell->err();
    patient->finish();
    EXPECT_EQ(patient->exitStatus(), 0) << patient->err();
    EXPECT_EQ(patient->out(), "position of unit 2: 1500\n");
    bySerial->finish();
    EXPECT_EQ(bySerial->exitStatus(), 0) << bySerial->err();
    EXPECT_EQ(bySerial->out(), "position of unit JXbh01001: 1500\n");
    EXPECT_EQ(run({"position", "1", "position", "2"})->out(), "position of unit 1: 0\nposition of unit 2: 1500\n");
}

// While a shell waits for a move, units are unplugged: each index the shell holds reaches its
// own unit or none, and velmorctl says where that unit went.
struct UnplugCase
{
    const char *name;
    std::string input;
    // The progress a waited move shows, and the serial numbers then unplugged (all so far).
    std::vector<std::pair<std::string, std::vector<std::string>>> unplugs;
    std::vector<std::string> failures;  // "velmorctl: ..." lines, in order
    std::string out;
    int exitStatus;                     // the code of the last line that failed
};

void PrintTo(const UnplugCase &unplugCase, std::ostream *stream)
{
    *stream << unplugCase.name;
}

class VelmorctlUnplugged : public Velmorctl, public ::testing::WithParamInterface<UnplugCase>
{
};

TEST_P(VelmorctlUnplugged, AShellSaysWhereTheUnitsItHoldsWent)
{
    SKIP_UNLESS(s_recordsD2xx, "nothing can be preloaded into a program here");
    const auto shell = startUnplugging({"shell"}, GetParam().input);
    for (const auto &[progress, serials] : GetParam().unplugs) {
        ASSERT_TRUE(shell->waitForError(progress, milliseconds(10000))) << shell->err();
        unplug(serials);
    }
    shell->finish();

    EXPECT_EQ(shell->exitStatus(), GetParam().exitStatus) << shell->err();
    std::vector<std::string> failures;
    for (const std::string &line : linesOf(shell->err())) {
        if (line.rfind("velmorctl: ", 0) == 0)
            failures.push_back(line);
    }
    EXPECT_EQ(failures, GetParam().failures);
    EXPECT_EQ(shell->out(), GetParam().out);
}

// Unit 1 is JXah00102, unit 2 JXbh01001: with unit 1 unplugged, JXbh01001 is listed at index 1.
const std::string s_outOfRange = "the device index is out of range (code 1): ";
const std::string s_openFailed = "opening the unit failed (code 3): ";
const std::string s_movedAway = "unit JXbh01001 is held here at index 2, now listed at index 1 (name it by its serial "
                                "number)";
const std::string s_firstGone = "unit JXah00102, held here at index 1, was unplugged (it is no longer listed)";
const std::string s_secondGone = "unit JXbh01001, held here at index 1, was unplugged (it is no longer listed)";

INSTANTIATE_TEST_SUITE_P(
    Cases, VelmorctlUnplugged,
    ::testing::Values(
        // The unit is reached by its serial number where it is now, and held there in turn.
        UnplugCase{"UnitBeforeAndThenTheUnitItself",
                   "on 2 move-by 2 3000 --wait\n"
                   "position 1\n"
                   "list\n"
                   "stop JXbh01001 move-by JXbh01001 3000 --wait\n"
                   "position 1\n",
                   {{"move-by unit 2: position ", {"JXah00102"}},
                    {"move-by unit JXbh01001: position ", {"JXah00102", "JXbh01001"}}},
                   {"velmorctl: move-by unit 2: " + s_outOfRange + s_movedAway,
                    "velmorctl: position unit 1: " + s_openFailed + s_movedAway,
                    "velmorctl: move-by unit JXbh01001: " + s_outOfRange + s_secondGone,
                    "velmorctl: position unit 1: " + s_outOfRange + s_secondGone},
                   "motor of unit 2 switched on\n"
                   "1 supported unit\n"
                   "1     JXbh01001        " + s_openFailed + s_movedAway + "\n"
                   "motor of unit JXbh01001 stopped\n",
                   1},
        // An index the shell holds for an unplugged unit reaches no other unit, whatever names it.
        UnplugCase{"IndexKeptForAnUnpluggedUnit",
                   "position 1\n"
                   "on 2 move-by 2 3000 --wait\n"
                   "position 1\n"
                   "position JXbh01001\n",
                   {{"move-by unit 2: position ", {"JXah00102"}}},
                   {"velmorctl: move-by unit 2: " + s_outOfRange + s_movedAway,
                    "velmorctl: position unit 1: " + s_openFailed + s_firstGone,
                    "velmorctl: position unit JXbh01001: " + s_openFailed
                        + "index 1, where the unit is listed now, is held here for unit JXah00102, which was unplugged "
                          "(it is no longer listed)"},
                   "position of unit 1: 0\n"
                   "motor of unit 2 switched on\n",
                   3}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Velmorctl, RunsShareTheUnitsState)
{
    SKIP_UNLESS(s_onPosix, "each run has a bench of its own here");
    EXPECT_EQ(run({"on", "1", "move-by", "1", "250", "--wait"})->exitStatus(), 0);
    EXPECT_EQ(run({"position", "1"})->out(), "position of unit 1: 250\n");
    EXPECT_EQ(run({"zero", "1"})->exitStatus(), 0);
    EXPECT_EQ(run({"position", "1", "ready", "1"})->out(), "position of unit 1: 0\nunit 1 is ready\n");
    EXPECT_EQ(run({"off", "1"})->exitStatus(), 0);
    EXPECT_EQ(run({"move-to", "1", "10"})->exitStatus(), 15);
}

class VelmorctlInterrupted : public Velmorctl, public ::testing::WithParamInterface<int>
{
};

// The signal comes while --wait follows a move far longer than the test: the tool stops the
// motor, says where, and the next run finds the motor standing there.
TEST_P(VelmorctlInterrupted, StopsTheMotorAndExits130)
{
    SKIP_UNLESS(s_onPosix, "no signals to send, and each run has a bench of its own here");
    ASSERT_EQ(run({"on", "1"})->exitStatus(), 0);
    const auto moving = start({"move-to", "1", "100000", "--wait"});
    ASSERT_TRUE(moving->waitForError("move-to unit 1: position ", milliseconds(10000))) << moving->err();
    moving->sendSignal(GetParam());
    moving->finish();
    EXPECT_EQ(moving->exitStatus(), 130);
    const std::string stopped = "velmorctl: move-to unit 1: interrupted; stopped the motor at position ";
    const size_t at = moving->err().find(stopped);
    ASSERT_NE(at, std::string::npos) << moving->err();
    const int position = std::atoi(moving->err().c_str() + at + stopped.size());
    EXPECT_GT(position, 0);
    EXPECT_LT(position, 100000);

    const auto after = run({"ready", "1", "position", "1"});
    EXPECT_EQ(after->out(), "unit 1 is ready\nposition of unit 1: " + std::to_string(position) + "\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, VelmorctlInterrupted, ::testing::Values(SIGINT, SIGTERM));

TEST_F(Velmorctl, WaitGivesUpAfterItsTimeout)
{
    const auto process = run({"on", "1", "move-to", "1", "100000", "--wait", "--timeout", "0.3", "position", "1"});
    EXPECT_EQ(process->exitStatus(), 124);
    EXPECT_EQ(process->out(), "motor of unit 1 switched on\n");
    EXPECT_NE(process->err().find("velmorctl: move-to unit 1: timed out after 0.3 s; the motor is still moving"),
              std::string::npos)
        << process->err();
}

TEST_F(Velmorctl, ShellRunsLinesFromAPipeInOneSession)
{
    const std::string script = "# set up unit 1\n"
                               "list\n"
                               "on 1 move-to 1 120 --wait   # a short move\n"
                               "\n"
                               "position 1\n"
                               "speed 1 fast 4\n"
                               "position JXah09999 ready 1\n"
                               "help position\n"
                               "ready 1\n"
                               "quit\n"
                               "zero 1\n";
    const auto shell = run({"shell"}, script);
    EXPECT_EQ(shell->exitStatus(), 28);
    EXPECT_EQ(linesOf(shell->out()), (std::vector<std::string>{
                                         "2 supported units",
                                         "1     JXah00102        FT232R    hardware 1.2   firmware 3.0",
                                         "2     JXbh01001        FT232H    hardware 10.1  firmware 1.0",
                                         "motor of unit 1 switched on",
                                         "unit 1 reached position 120",
                                         "position of unit 1: 120",
                                         "usage: velmorctl position UNIT",
                                         "print the position, in full steps (and in the unit of the unit's profile)",
                                         "UNIT: a device index (1 to 99) or a serial number such as JXah00102",
                                         "--retry-busy SECONDS: while the unit is open in another program, try again "
                                         "for this long",
                                         "unit 1 is ready",
                                     }));
    EXPECT_NE(shell->err().find("velmorctl: speed: SPEED: 'fast' is not a whole number\n"
                                "usage: velmorctl speed UNIT SPEED STEP_MODE\n"),
              std::string::npos)
        << shell->err();
    EXPECT_NE(shell->err().find("velmorctl: position unit JXah09999: no supported unit has this serial number (code 28)"),
              std::string::npos);
    // After quit nothing runs: the position was not zeroed.
    if (s_onPosix) {
        EXPECT_EQ(run({"position", "1"})->out(), "position of unit 1: 120\n");
    }
}

// On a terminal the shell prompts, and a waited move redraws one progress line in place.
TEST_F(Velmorctl, OnATerminalTheShellPromptsAndTheProgressBarRedraws)
{
    SKIP_UNLESS(s_onPosix, "no pseudo-terminal to run a program on here");
    ChildProcess shell(VELMORCTL_PATH, {"shell"}, environment(), "on 1 move-by 1 200 --wait\nquit\n",
                      ChildProcess::Streams::Terminal);
    shell.finish();
    EXPECT_EQ(shell.exitStatus(), 0);
    // The terminal echoes the input; where the echo lands among the prompts depends on timing.
    const std::string &screen = shell.out();
    const size_t firstPrompt = screen.find("velmorctl> ");
    ASSERT_NE(firstPrompt, std::string::npos) << screen;
    EXPECT_NE(screen.find("velmorctl> ", firstPrompt + 1), std::string::npos) << screen;
    EXPECT_NE(screen.find("\rmove-by unit 1 [##############################] position 200, target 200 "),
              std::string::npos)
        << screen;
    EXPECT_NE(screen.find("steps/s\r\nunit 1 reached position 200\r\n"), std::string::npos) << screen;
}

struct BadInput
{
    std::vector<std::string> arguments;
    std::string message;
    std::string usage;
};

void PrintTo(const BadInput &input, std::ostream *stream)
{
    *stream << joined(input.arguments);
}

class VelmorctlBadInput : public Velmorctl, public ::testing::WithParamInterface<BadInput>
{
};

// The whole command line is checked first: a bad one runs nothing, not even the good commands
// before the bad one, and makes no D2XX call.
TEST_P(VelmorctlBadInput, Exits64WithTheUsageAndCallsNothing)
{
    const auto process = runRecordingD2xx(GetParam().arguments);
    EXPECT_EQ(process->exitStatus(), 64);
    EXPECT_EQ(process->out(), "");
    EXPECT_EQ(process->err(), "velmorctl: " + GetParam().message + "\nusage: " + GetParam().usage + "\n");
    EXPECT_EQ(d2xxLog(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VelmorctlBadInput,
    ::testing::Values(
        BadInput{{"position"}, "position: missing argument UNIT", "velmorctl position UNIT"},
        BadInput{{"speed", "1", "400"}, "speed: missing argument STEP_MODE", "velmorctl speed UNIT SPEED STEP_MODE"},
        BadInput{{"on", "1", "move-by", "1", "-200", "--wait", "speed", "1", "400"},
                 "speed: missing argument STEP_MODE", "velmorctl speed UNIT SPEED STEP_MODE"},
        BadInput{{"move-to", "1", "12x"}, "move-to: POSITION: '12x' is not a whole number",
                 "velmorctl move-to UNIT POSITION [--steps] [--wait] [--timeout SECONDS]"},
        BadInput{{"move-by", "1", "2147483648"}, "move-by: STEPS: '2147483648' is out of range (-2147483648 to 2147483647)",
                 "velmorctl move-by UNIT STEPS [--steps] [--wait] [--timeout SECONDS]"},
        BadInput{{"current", "1", "500", "256"}, "current: FLAG: '256' is out of range (0 to 255)",
                 "velmorctl current UNIT MILLIAMPERES FLAG"},
        BadInput{{"backlash", "1", "1", "-1", "10"}, "backlash: DIRECTION: '-1' is out of range (0 to 4294967295)",
                 "velmorctl backlash UNIT ENABLED DIRECTION AMOUNT"},
        BadInput{{"home-settings", "1", "0", "0", "0", "4294967296", "0"},
                 "home-settings: VALUE_A: '4294967296' is out of range (0 to 4294967295)",
                 "velmorctl home-settings UNIT DIRECTION FLAG_B FLAG_A VALUE_A VALUE_B"},
        BadInput{{"limits", "1", "1", "-2", "2", "1"}, "limits: TYPE1: '-2' is out of range (0 to 4294967295)",
                 "velmorctl limits UNIT INPUT1 TYPE1 INPUT2 TYPE2"},
        BadInput{{"relay", "1", "maybe"}, "relay: on|off: 'maybe' is neither on nor off", "velmorctl relay UNIT on|off"},
        // UNIT: all digits is an index, the serial form a serial number, anything else an error.
        BadInput{{"position", "99999999999"}, "position: UNIT: '99999999999' is out of range: the library addresses "
                 "units 1 to 99", "velmorctl position UNIT"},
        BadInput{{"position", "100"}, "position: UNIT: '100' is out of range: the library addresses units 1 to 99",
                 "velmorctl position UNIT"},
        BadInput{{"position", "0"}, "position: UNIT: '0' is out of range: the library addresses units 1 to 99",
                 "velmorctl position UNIT"},
        BadInput{{"position", ""}, "position: UNIT: it is empty: give a device index (1 to 99) or a serial number "
                 "such as JXah00102", "velmorctl position UNIT"},
        BadInput{{"on", "-1"}, "on: UNIT: '-1' is neither a device index (1 to 99) nor a serial number (such as "
                 "JXah00102)", "velmorctl on UNIT"},
        BadInput{{"on", "+2"}, "on: UNIT: '+2' is neither a device index (1 to 99) nor a serial number (such as "
                 "JXah00102)", "velmorctl on UNIT"},
        BadInput{{"on", "0x2"}, "on: UNIT: '0x2' is neither a device index (1 to 99) nor a serial number (such as "
                 "JXah00102)", "velmorctl on UNIT"},
        BadInput{{"on", " 2"}, "on: UNIT: ' 2' is neither a device index (1 to 99) nor a serial number (such as "
                 "JXah00102)", "velmorctl on UNIT"},
        BadInput{{"on", "JX\"\\\t"}, "on: UNIT: 'JX\"\\\t' is neither a device index (1 to 99) nor a serial "
                 "number (such as JXah00102)", "velmorctl on UNIT"},
        BadInput{{"position", "1", "--retry-busy", "0"}, "position: --retry-busy: '0' is out of range (more than 0, "
                 "at most a year)", "velmorctl position UNIT"},
        BadInput{{"on", "1", "position", "1", "5"}, "position: unexpected argument '5'", "velmorctl position UNIT"},
        BadInput{{"position", "1", "--wait"}, "position: unknown option '--wait'", "velmorctl position UNIT"},
        BadInput{{"home", "1", "--wait", "--timeout", "soon"}, "home: --timeout: 'soon' is not a number of seconds",
                 "velmorctl home UNIT [--wait] [--timeout SECONDS]"},
        BadInput{{"quit"}, "quit: works only inside the shell", "velmorctl quit"},
        // Positions: a fraction is a quantity in a profile's unit, never full steps.
        BadInput{{"move-to", "1", "12.5", "--steps"}, "move-to: POSITION: '12.5' is not a whole number of full "
                 "steps (--steps)", "velmorctl move-to UNIT POSITION [--steps] [--wait] [--timeout SECONDS]"},
        BadInput{{"move-by", "1", "1.2.3"}, "move-by: STEPS: '1.2.3' is not a number",
                 "velmorctl move-by UNIT STEPS [--steps] [--wait] [--timeout SECONDS]"},
        BadInput{{"move-to", "1", "."}, "move-to: POSITION: '.' is not a number",
                 "velmorctl move-to UNIT POSITION [--steps] [--wait] [--timeout SECONDS]"},
        // Profiles: a FILE, then the units; options only where they mean something.
        BadInput{{"apply", "unit2.json"}, "apply: missing argument UNIT",
                 "velmorctl apply FILE UNIT... [--fix] [--dry-run]"},
        BadInput{{"apply", "unit2.json", "1", "x2"}, "apply: UNIT: 'x2' is neither a device index (1 to 99) nor a "
                 "serial number (such as JXah00102)", "velmorctl apply FILE UNIT... [--fix] [--dry-run]"},
        BadInput{{"save", "1", "unit2.json", "--fix"}, "save: unknown option '--fix'", "velmorctl save UNIT [FILE]"},
        BadInput{{"diff", "1", "--dry-run"}, "diff: unknown option '--dry-run'", "velmorctl diff UNIT [FILE]"},
        BadInput{{"load", "1", "a.json", "b.json"}, "load: unexpected argument 'b.json'",
                 "velmorctl load UNIT [FILE] [--fix] [--dry-run]"}));

TEST_F(Velmorctl, UnknownCommandsShowTheToolsUsage)
{
    const auto process = runRecordingD2xx({"on", "1", "frobnicate"});
    EXPECT_EQ(process->exitStatus(), 64);
    EXPECT_EQ(process->err(), "velmorctl: on: unexpected argument 'frobnicate'\nusage: velmorctl on UNIT\n");
    const auto first = runRecordingD2xx({"frobnicate", "1"});
    EXPECT_EQ(first->exitStatus(), 64);
    EXPECT_EQ(first->err().rfind("velmorctl: unknown command 'frobnicate'\nusage: velmorctl [--json] COMMAND", 0), 0u)
        << first->err();
    EXPECT_EQ(d2xxLog(), "");
}

TEST_F(Velmorctl, HelpAndCodesCallNoUnitWhileAGoodRunDoes)
{
    const auto help = runRecordingD2xx({"--help"});
    EXPECT_EQ(help->exitStatus(), 0);
    for (const char *command : {"list", "move-to UNIT POSITION [--steps] [--wait] [--timeout SECONDS]", "home-settings", "shell",
                            "save UNIT [FILE]", "apply FILE UNIT... [--fix] [--dry-run]"})
        EXPECT_NE(help->out().find(command), std::string::npos) << command;
    const auto speedHelp = runRecordingD2xx({"on", "1", "speed", "--help"});
    EXPECT_EQ(speedHelp->out().rfind("usage: velmorctl speed UNIT SPEED STEP_MODE\n", 0), 0u) << speedHelp->out();
    const auto codes = runRecordingD2xx({"codes"});
    EXPECT_EQ(linesOf(codes->out()).size(), 34u);
    EXPECT_NE(codes->out().find("16  the motor is not ready (state 4)\n"), std::string::npos);
    EXPECT_EQ(d2xxLog(), "");

    // The recorder does see the calls of a run that reaches the library.
    runRecordingD2xx({"position", "1"});
    if (s_recordsD2xx) {
        EXPECT_NE(d2xxLog().find("FT_CreateDeviceInfoList"), std::string::npos);
    }
}

// Unit profiles at a bench of three like units, the runs sharing the units' state as separate
// programs would: a unit's profile saved, changed, compared, restored, and given to the others.
class VelmorctlProfiles : public Velmorctl
{
protected:
    void SetUp() override
    {
        Velmorctl::SetUp();
        m_bench = "FT232R:JXah001020001:3.0;FT232R:JXah001020002:3.0;FT232R:JXah001020003:3.0";
        fs::create_directory(profileFolder());
    }

    void write(const fs::path &path, const std::string &text) const
    {
        std::ofstream file(path, std::ios::binary);
        file << text;
    }

    std::string read(const fs::path &path) const
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // A loaded profile of unit 1 (JXah001020001) in millimetres.
    void writeMillimetreProfile(const std::string &stepsPerUnit, const std::string &travel) const
    {
        write(profileFolder() / "JXah001020001.json",
              "{\"velmorlibProfile\": 1, \"serialNumber\": \"JXah001020001\", \"name\": \"X stage\", \"unit\": \"mm\", "
              "\"stepsPerUnit\": " + stepsPerUnit + (travel.empty() ? "" : ", \"travel\": " + travel) + "}\n");
    }

    QJsonObject statusOf(const std::string &unit) const
    {
        const auto status = run({"--json", "status", unit});
        EXPECT_EQ(status->exitStatus(), 0) << status->err();
        return jsonObjectOf(linesOf(status->out()).at(0));
    }
};

TEST_F(VelmorctlProfiles, ASavedProfileNamesAChangeRestoresItAndConfiguresTwoMoreUnits)
{
    SKIP_UNLESS(s_onPosix, "each run has a bench of its own here");
    const fs::path saved = m_directory / "unit2.json";
    const auto save = run({"save", "2", saved.string()});
    ASSERT_EQ(save->exitStatus(), 0) << save->err();
    EXPECT_EQ(save->out(), "profile of unit 2 saved to " + saved.string() + "\n");
    const QJsonObject profile = QJsonDocument::fromJson(QByteArray::fromStdString(read(saved))).object();
    EXPECT_EQ(profile["serialNumber"].toString(), "JXah001020002");
    EXPECT_EQ(profile["settings"].toObject()["current"].toInt(), 1000);
    // Without a FILE the profile goes to standard output, the same document.
    EXPECT_EQ(run({"save", "JXah001020002"})->out(), read(saved));

    ASSERT_EQ(run({"current", "2", "1500", "0"})->exitStatus(), 0);
    const auto differs = run({"diff", "2", saved.string()});
    EXPECT_EQ(differs->exitStatus(), 1) << differs->err();
    EXPECT_EQ(differs->out(), "current: profile 1000, unit 1500\n");
    EXPECT_EQ(differs->err(), "");

    const auto load = run({"load", "2", saved.string()});
    EXPECT_EQ(load->exitStatus(), 0) << load->err();
    EXPECT_EQ(linesOf(load->out()), (std::vector<std::string>{"profile " + saved.string() + " applied to unit 2:",
                                                              "  speed: unchanged", "  acceleration: unchanged",
                                                              "  current: applied", "  backlash: unchanged",
                                                              "  home: unchanged"}));
    const auto same = run({"diff", "2", saved.string()});
    EXPECT_EQ(same->exitStatus(), 0) << same->err();
    EXPECT_EQ(same->out(), "unit 2 holds every setting of " + saved.string() + "\n");
    EXPECT_EQ(statusOf("2")["current"].toObject()["milliamperes"].toInt(), 1000);

    // Another unit's profile, to two units that each keep their own serial number.
    ASSERT_EQ(run({"current", "1", "700", "1", "current", "3", "900", "0", "speed", "3", "300", "2"})->exitStatus(), 0);
    const auto apply = run({"apply", saved.string(), "1", "3"});
    EXPECT_EQ(apply->exitStatus(), 0) << apply->err();
    EXPECT_NE(apply->out().find("applied to unit 1:\n  speed: unchanged\n  acceleration: unchanged\n  current: applied\n"),
              std::string::npos)
        << apply->out();
    EXPECT_NE(apply->out().find("applied to unit 3:\n  speed: applied\n  acceleration: unchanged\n  current: applied\n"),
              std::string::npos)
        << apply->out();
    for (const char *unit : {"1", "3"}) {
        const QJsonObject status = statusOf(unit);
        EXPECT_EQ(status["current"].toObject()["milliamperes"].toInt(), 1000) << unit;
        EXPECT_EQ(status["current"].toObject()["flag"].toInt(), 0) << unit;
        EXPECT_EQ(status["motion"].toObject()["speed"].toInt(), 400) << unit;
    }
    EXPECT_EQ(statusOf("3")["info"].toObject()["serial"].toString(), "JXah001020003");
    // load takes the profile of this unit only.
    const auto wrongUnit = run({"load", "1", saved.string()});
    EXPECT_EQ(wrongUnit->exitStatus(), 21);
    EXPECT_EQ(wrongUnit->err(), "velmorctl: load unit 1: an argument is out of range (code 21): " + saved.string()
                                    + ": the profile is for unit JXah001020002, not for JXah001020001 at index 1\n");

    // Without a FILE, load and diff take the unit's own file in the profile folder.
    fs::copy_file(saved, profileFolder() / "JXah001020002.json");
    ASSERT_EQ(run({"current", "2", "1200", "1"})->exitStatus(), 0);
    const auto ownFile = run({"diff", "2"});
    EXPECT_EQ(ownFile->exitStatus(), 1);
    EXPECT_EQ(ownFile->out(), "current: profile 1000, unit 1200\ncurrentFlag: profile 0, unit 1\n");
    EXPECT_EQ(run({"load", "2"})->exitStatus(), 0);
    EXPECT_EQ(run({"diff", "2"})->exitStatus(), 0);
    const auto noFile = run({"load", "3"});
    EXPECT_EQ(noFile->exitStatus(), 66);
    EXPECT_EQ(noFile->err(), "velmorctl: load unit 3: cannot read " + (profileFolder() / "JXah001020003.json").string()
                                 + ": No such file or directory\n");
}

TEST_F(VelmorctlProfiles, ValuesTheUnitRefusesAreSaidAndFixedOnlyWhenAsked)
{
    SKIP_UNLESS(s_onPosix, "each run has a bench of its own here");
    const fs::path file = m_directory / "strong.json";
    write(file, "{\"velmorlibProfile\": 1, \"settings\": {\"current\": 9000, \"speed\": 300, \"stepMode\": 4}}\n");
    const auto refused = run({"load", "1", file.string()});
    EXPECT_EQ(refused->exitStatus(), 21);
    EXPECT_EQ(linesOf(refused->out()),
              (std::vector<std::string>{"profile " + file.string() + " applied to unit 1:", "  speed: applied",
                                        "  current: refused: 9000 mA is above the 8000 mA maximum of this unit "
                                        "(hardware 1.2)"}));
    EXPECT_EQ(refused->err(), "velmorctl: load unit 1: an argument is out of range (code 21): 1 of 2 settings of "
                                  + file.string() + " not taken\n");
    const auto dryRun = run({"load", "1", file.string(), "--fix", "--dry-run"});
    EXPECT_EQ(dryRun->exitStatus(), 0) << dryRun->err();
    EXPECT_EQ(linesOf(dryRun->out()),
              (std::vector<std::string>{"profile " + file.string() + " against unit 1 (dry run: nothing written):",
                                        "  speed: unchanged", "  current: would be fixed to current 8000, currentFlag 0"}));
    EXPECT_EQ(statusOf("1")["current"].toObject()["milliamperes"].toInt(), 1000);
    EXPECT_EQ(run({"load", "1", file.string(), "--fix"})->exitStatus(), 0);
    EXPECT_EQ(statusOf("1")["current"].toObject()["milliamperes"].toInt(), 8000);
    // apply goes on to every unit, and exits with the first refusal.
    const auto apply = run({"apply", file.string(), "2", "3"});
    EXPECT_EQ(apply->exitStatus(), 21);
    EXPECT_EQ(linesOf(apply->err()).size(), 2u) << apply->err();
    EXPECT_EQ(statusOf("3")["motion"].toObject()["speed"].toInt(), 300);
}

// A file that cannot be taken is named with its line, and nothing of it is applied.
struct DamagedProfile
{
    const char *name;
    std::string text;
    std::string problem;
};

void PrintTo(const DamagedProfile &row, std::ostream *stream)
{
    *stream << row.name;
}

class VelmorctlDamagedProfile : public VelmorctlProfiles, public ::testing::WithParamInterface<DamagedProfile>
{
};

TEST_P(VelmorctlDamagedProfile, IsNamedWithItsLineAndAppliedInNoPart)
{
    const fs::path file = m_directory / "damaged.json";
    write(file, GetParam().text);
    const std::string words = "an argument is out of range (code 21): " + file.string() + ": " + GetParam().problem;
    for (const char *command : {"load", "diff"}) {
        const auto process = run({command, "1", file.string()});
        EXPECT_EQ(process->exitStatus(), 21) << command;
        EXPECT_EQ(process->out(), "") << command;
        EXPECT_EQ(process->err(), std::string("velmorctl: ") + command + " unit 1: " + words + "\n");
    }
    // In the profile folder, the file is left out with the same words, and the run goes on.
    fs::copy_file(file, profileFolder() / "damaged.json");
    const auto loading = run({"position", "1"});
    EXPECT_EQ(loading->exitStatus(), 0);
    EXPECT_EQ(loading->out(), "position of unit 1: 0\n");
    EXPECT_EQ(loading->err(), "velmorctl: profile left out: " + (profileFolder() / "damaged.json").string() + ": "
                                  + GetParam().problem + "\n");
    EXPECT_EQ(statusOf("1")["current"].toObject()["milliamperes"].toInt(), 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Files, VelmorctlDamagedProfile,
    ::testing::Values(
        DamagedProfile{"Syntax",
                       "{\n  \"velmorlibProfile\": 1,\n  \"serialNumber\": \"JXah001020001\",\n"
                       "  \"settings\": {\"current\": 1500,\n  \"speed\" 300}\n}\n",
                       "line 5: missing name separator"},
        DamagedProfile{"WrongKind",
                       "{\n  \"velmorlibProfile\": 1,\n  \"serialNumber\": \"JXah001020001\",\n"
                       "  \"settings\": {\n    \"current\": 1500,\n    \"speed\": \"fast\"\n  }\n}\n",
                       "line 6: \"speed\" is not a whole number"},
        DamagedProfile{"NewerVersion", "{\"serialNumber\": \"JXah001020001\",\n \"velmorlibProfile\": 2}\n",
                       "line 2: version 2 is newer than this library reads (1)"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(VelmorctlProfiles, AMoveBeyondTheTravelLimitsIsRefusedAndNothingMoves)
{
    SKIP_UNLESS(s_onPosix, "each run has a bench of its own here");
    writeMillimetreProfile("200", "{\"min\": -5, \"max\": 120}");
    const auto status = run({"status", "1"});
    ASSERT_EQ(status->exitStatus(), 0) << status->err();
    EXPECT_EQ(linesOf(status->out()).at(1),
              "  profile \"X stage\": positions in mm, 200 full steps per mm, travel limits -5 mm to 120 mm");
    EXPECT_EQ(linesOf(status->out()).at(2).rfind("  position 0 full steps, 0 mm (counter ", 0), 0u) << status->out();

    const auto above = run({"on", "1", "move-to", "1", "130", "position", "1"});
    EXPECT_EQ(above->exitStatus(), 21);
    EXPECT_EQ(above->err(), "velmorctl: move-to unit 1: an argument is out of range (code 21): the target, 130 mm "
                            "(26000 steps), lies above the upper travel limit (max) of 120 mm (the travel limits of "
                            "the profile \"X stage\"): nothing was moved\n");
    const auto below = run({"move-by", "1", "-5.0025"});
    EXPECT_EQ(below->exitStatus(), 21);
    EXPECT_EQ(below->err(), "velmorctl: move-by unit 1: an argument is out of range (code 21): the target, -5.005 mm "
                            "(-1001 steps), lies below the lower travel limit (min) of -5 mm (the travel limits of "
                            "the profile \"X stage\"): nothing was moved\n");
    // Full steps are held to the same limits.
    EXPECT_EQ(run({"move-to", "1", "24001", "--steps"})->exitStatus(), 21);
    EXPECT_EQ(run({"position", "1", "ready", "1"})->out(), "position of unit 1: 0 mm (0 steps)\nunit 1 is ready\n");

    const auto within = run({"--json", "move-to", "1", "0.5", "--wait", "position", "1"});
    ASSERT_EQ(within->exitStatus(), 0) << within->err();
    const QJsonObject moved = jsonObjectOf(linesOf(within->out()).at(0));
    EXPECT_EQ(moved["arguments"].toObject()["position"].toDouble(), 0.5);
    EXPECT_EQ(moved["position"].toInt(), 100);
    EXPECT_EQ(moved["positionInUnit"].toDouble(), 0.5);
    EXPECT_EQ(moved["profileUnit"].toString(), "mm");
    EXPECT_EQ(run({"position", "1"})->out(), "position of unit 1: 0.5 mm (100 steps)\n");
    // A unit without a profile keeps to full steps, and is not held to another unit's limits.
    EXPECT_EQ(run({"move-to", "2", "26000"})->out(), "unit 2 moving to position 26000\n");
    const auto fraction = run({"move-to", "2", "2.5"});
    EXPECT_EQ(fraction->exitStatus(), 21);
    EXPECT_EQ(fraction->err(), "velmorctl: move-to unit 2: an argument is out of range (code 21): 2.5 is not a whole "
                               "number of full steps: unit 2 has no loaded profile that gives its positions in another "
                               "unit\n");
}

// Positions in the profile's unit: the nearest full step, halves away from zero, in both
// directions, at steps per unit that are no whole number, and against one-sided limits.
struct Conversion
{
    const char *name;
    std::string stepsPerUnit;
    std::string travel;             // the profile's "travel", "" for none
    std::vector<std::string> move;  // the command after "on 1"
    int exitStatus;
    std::string line;               // the last line of standard output, or of standard error on failure
};

void PrintTo(const Conversion &row, std::ostream *stream)
{
    *stream << row.name;
}

class VelmorctlConversion : public VelmorctlProfiles, public ::testing::WithParamInterface<Conversion>
{
};

TEST_P(VelmorctlConversion, GoesToTheNearestFullStep)
{
    writeMillimetreProfile(GetParam().stepsPerUnit, GetParam().travel);
    std::vector<std::string> arguments = {"on", "1"};
    arguments.insert(arguments.end(), GetParam().move.begin(), GetParam().move.end());
    const auto process = run(arguments);
    EXPECT_EQ(process->exitStatus(), GetParam().exitStatus) << process->err();
    const std::vector<std::string> lines = linesOf(GetParam().exitStatus == 0 ? process->out() : process->err());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), GetParam().line);
}

const std::string s_refused = "velmorctl: move-to unit 1: an argument is out of range (code 21): the target, ";

INSTANTIATE_TEST_SUITE_P(
    Rows, VelmorctlConversion,
    ::testing::Values(
        Conversion{"Fraction", "200", "", {"move-to", "1", "12.5"}, 0, "unit 1 moving to position 12.5 mm (2500 steps)"},
        Conversion{"HalfStepUp", "200", "", {"move-to", "1", "0.0025"}, 0, "unit 1 moving to position 0.005 mm (1 step)"},
        Conversion{"HalfStepDown", "200", "", {"move-to", "1", "-0.0025"}, 0,
                   "unit 1 moving to position -0.005 mm (-1 step)"},
        Conversion{"BelowHalfAStep", "200", "", {"move-to", "1", "0.0024"}, 0, "unit 1 moving to position 0 mm (0 steps)"},
        Conversion{"WholeNumberInTheUnit", "200", "", {"move-to", "1", "-3"}, 0,
                   "unit 1 moving to position -3 mm (-600 steps)"},
        Conversion{"StepsPerUnitWithAFraction", "2.5", "", {"move-to", "1", "1"}, 0,
                   "unit 1 moving to position 1.2 mm (3 steps)"},
        Conversion{"NegativeWithAFraction", "2.5", "", {"move-to", "1", "-1"}, 0,
                   "unit 1 moving to position -1.2 mm (-3 steps)"},
        Conversion{"ThirdsOfAUnit", "3", "", {"move-by", "1", "0.5"}, 0, "unit 1 moving by 0.7 mm (2 steps)"},
        Conversion{"StepsLargerThanTheUnit", "0.5", "", {"move-to", "1", "5"}, 0,
                   "unit 1 moving to position 6 mm (3 steps)"},
        Conversion{"FullStepsForced", "200", "", {"move-to", "1", "7", "--steps"}, 0,
                   "unit 1 moving to position 0.035 mm (7 steps)"},
        Conversion{"BeyondAMovesSteps", "200", "", {"move-to", "1", "20000000"}, 21,
                   "velmorctl: move-to unit 1: an argument is out of range (code 21): 20000000 mm is beyond the full "
                   "steps a move takes (-2147483648 to 2147483647)"},
        Conversion{"OnlyAnUpperLimitAllowsAnyWayDown", "200", "{\"max\": 10}", {"move-to", "1", "-1000"}, 0,
                   "unit 1 moving to position -1000 mm (-200000 steps)"},
        Conversion{"OnlyAnUpperLimitByHalfAStep", "200", "{\"max\": 10}", {"move-to", "1", "10.0025"}, 21,
                   s_refused + "10.005 mm (2001 steps), lies above the upper travel limit (max) of 10 mm (the travel "
                   "limits of the profile \"X stage\"): nothing was moved"},
        Conversion{"OnlyALowerLimitAtIt", "200", "{\"min\": -1}", {"move-to", "1", "-1"}, 0,
                   "unit 1 moving to position -1 mm (-200 steps)"},
        Conversion{"OnlyALowerLimitByHalfAStep", "200", "{\"min\": -1}", {"move-to", "1", "-1.0025"}, 21,
                   s_refused + "-1.005 mm (-201 steps), lies below the lower travel limit (min) of -1 mm (the travel "
                   "limits of the profile \"X stage\"): nothing was moved"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
