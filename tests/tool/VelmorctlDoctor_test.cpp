// velmorctl doctor on a made-up machine: a sysfs, /dev and /proc tree the test writes under
// --root, with one unit on USB as each case sets it up, and the emulator's units through the
// library, directly or through a velmord the test starts. The checks of device permissions run
// velmorctl as user nobody (setpriv), so the cases need root to set the scene; elsewhere they
// are skipped.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace {

namespace fs = std::filesystem;

constexpr gid_t s_plugdev = 46;     // Debian's plugdev group
constexpr uid_t s_nobody = 65534;
const char s_setpriv[] = "/usr/bin/setpriv";

// One USB device as sysfs, /dev and /proc show it.
struct UsbScene
{
    std::string vendor = "0403";
    std::string serial = "JXah00102";
    std::string interfaceDriver;        // the driver bound to interface 1-1:1.0; empty: none
    bool node = true;
    unsigned nodeMode = 0660;
    gid_t nodeGroup = s_plugdev;
    const char *holder = nullptr;       // the command of process 4242, which has the node open
};

// What doctor must say of one check: its name, whether it passed, words in its finding or fix.
struct Expected
{
    const char *check;
    bool ok;
    const char *words;
};

struct DoctorCase
{
    const char *name;
    UsbScene scene;
    bool inPlugdev;                     // velmorctl runs as nobody, in group plugdev or not
    const char *bench;
    int exitStatus;
    std::vector<Expected> expected;
};

UsbScene boundTo(const char *driver)
{
    UsbScene scene;
    scene.interfaceDriver = driver;
    return scene;
}

UsbScene nodeOf(unsigned mode, gid_t group)
{
    UsbScene scene;
    scene.nodeMode = mode;
    scene.nodeGroup = group;
    return scene;
}

UsbScene withoutNode()
{
    UsbScene scene;
    scene.node = false;
    return scene;
}

UsbScene heldOpen(const char *command = "velmor-center")
{
    UsbScene scene;
    scene.holder = command;
    return scene;
}

UsbScene listedAs(const char *vendor, const char *serial)
{
    UsbScene scene;
    scene.vendor = vendor;
    scene.serial = serial;
    return scene;
}

void PrintTo(const DoctorCase &doctorCase, std::ostream *out) { *out << doctorCase.name; }

void writeFile(const fs::path &path, const std::string &text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

void makeScene(const fs::path &root, const UsbScene &scene)
{
    const fs::path devices = root / "sys/bus/usb/devices";
    writeFile(devices / "1-1/idVendor", scene.vendor);
    writeFile(devices / "1-1/idProduct", "6001");
    writeFile(devices / "1-1/serial", scene.serial);
    writeFile(devices / "1-1/busnum", "1");
    writeFile(devices / "1-1/devnum", "2");
    fs::create_directories(devices / "1-1:1.0");
    if (!scene.interfaceDriver.empty())
        fs::create_directory_symlink("../../../../bus/usb/drivers/" + scene.interfaceDriver, devices / "1-1:1.0/driver");
    // A root hub beside it, which is never a unit.
    writeFile(devices / "usb1/idVendor", "1d6b");
    const fs::path node = root / "dev/bus/usb/001/002";
    if (scene.node) {
        writeFile(node, "");
        EXPECT_EQ(chown(node.c_str(), 0, scene.nodeGroup), 0);
        EXPECT_EQ(chmod(node.c_str(), scene.nodeMode), 0);
    }
    if (scene.holder != nullptr) {
        writeFile(root / "proc/4242/comm", scene.holder);
        fs::create_directories(root / "proc/4242/fd");
        fs::create_symlink("/dev/bus/usb/001/002", root / "proc/4242/fd/7");
    }
    writeFile(root / "proc/4243/comm", "bash");
    fs::create_directories(root / "proc/4243/fd");
    fs::create_symlink("/dev/pts/0", root / "proc/4243/fd/0");
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                              | fs::perms::others_read | fs::perms::others_exec);
}

fs::path newTemporaryDirectory()
{
    std::random_device random;
    for (;;) {
        const fs::path path = fs::temp_directory_path() / ("velmorctl-doctor-" + std::to_string(random()));
        if (fs::create_directory(path))
            return path;
    }
}

QJsonObject findingOf(const QJsonArray &checks, const char *check)
{
    for (const QJsonValue &value : checks) {
        if (value.toObject().value("check").toString() == QLatin1String(check))
            return value.toObject();
    }
    return QJsonObject();
}

// Runs velmorctl --json doctor as user nobody, in group plugdev or not, and checks its exit
// status and the findings expected; returns its report.
QJsonObject expectDoctorSays(const fs::path &root, bool inPlugdev, const std::vector<std::string> &environment,
                             int exitStatus, const std::vector<Expected> &expectedFindings)
{
    ChildProcess doctor(s_setpriv,
                        {"--reuid=" + std::to_string(s_nobody), "--regid=" + std::to_string(s_nobody),
                         inPlugdev ? "--groups=" + std::to_string(s_plugdev) : "--clear-groups", VELMORCTL_PATH,
                         "--json", "doctor", "--root", root.string()},
                        environment);
    doctor.finish();
    EXPECT_EQ(doctor.exitStatus(), exitStatus) << doctor.out() << doctor.err();
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(doctor.out())).object();
    EXPECT_EQ(report.value("ok").toBool(), exitStatus == 0) << doctor.out();
    const QJsonArray checks = report.value("checks").toArray();
    for (const Expected &expected : expectedFindings) {
        const QJsonObject finding = findingOf(checks, expected.check);
        EXPECT_FALSE(finding.isEmpty()) << expected.check << " missing in " << doctor.out();
        EXPECT_EQ(finding.value("ok").toBool(), expected.ok) << expected.check << ": " << doctor.out();
        const QString words = finding.value("finding").toString() + " " + finding.value("fix").toString();
        EXPECT_TRUE(words.contains(QString::fromUtf8(expected.words))) << expected.check << ": " << words.toStdString();
    }
    return report;
}

class DoctorOnAMadeUpMachine
{
protected:
    void makeRoot()
    {
        if (geteuid() != 0 || access(s_setpriv, X_OK) != 0)
            GTEST_SKIP() << "needs root and setpriv to run velmorctl as another user";
        m_root = newTemporaryDirectory();
    }

    void removeRoot()
    {
        std::error_code ignored;
        if (!m_root.empty())
            fs::remove_all(m_root, ignored);
    }

    fs::path m_root;
};

class VelmorctlDoctor : public ::testing::TestWithParam<DoctorCase>, protected DoctorOnAMadeUpMachine
{
protected:
    void SetUp() override { makeRoot(); }
    void TearDown() override { removeRoot(); }
};

TEST_P(VelmorctlDoctor, SaysWhatIsWrongAndHowToFixIt)
{
    const DoctorCase &doctorCase = GetParam();
    makeScene(m_root, doctorCase.scene);
    expectDoctorSays(m_root, doctorCase.inPlugdev,
                     {std::string("VELMOR_EMULATOR_BENCH=") + doctorCase.bench, "VELMOR_EMULATOR_STATE=off"},
                     doctorCase.exitStatus, doctorCase.expected);
}

const char s_goodBench[] = "FT232R:JXah00102:3.0";

INSTANTIATE_TEST_SUITE_P(
    , VelmorctlDoctor,
    ::testing::Values(
        DoctorCase{"AllWell", UsbScene(), true, s_goodBench, 0,
                   {{"d2xx", true, "emulator"},
                    {"serial-driver", true, "not bound"},
                    {"permissions", true, "/dev/bus/usb/001/002 (root:plugdev 0660) can be opened"},
                    {"busy", true, "no other process"},
                    {"unit", true, "JXah00102, hardware 1.2, firmware 3.0"}}},
        DoctorCase{"BoundToTheSerialDriver", boundTo("ftdi_sio"), true, s_goodBench, 1,
                   {{"serial-driver", false, "echo -n 1-1:1.0 > /sys/bus/usb/drivers/ftdi_sio/unbind"}}},
        DoctorCase{"BoundToUsbfsIsWell", boundTo("usbfs"), true, s_goodBench, 0,
                   {{"serial-driver", true, "not bound"}}},
        DoctorCase{"NodeForRootAlone", nodeOf(0664, 0), true, s_goodBench, 1,
                   {{"permissions", false, "(root:root 0664) cannot be opened for reading and writing by nobody"}}},
        DoctorCase{"NotInPlugdev", UsbScene(), false, s_goodBench, 1,
                   {{"permissions", false, "sudo adduser nobody plugdev"}}},
        DoctorCase{"OpenForEveryone", nodeOf(0666, 0), false, s_goodBench, 0,
                   {{"permissions", true, "can be opened"}}},
        DoctorCase{"NodeMissing", withoutNode(), true, s_goodBench, 1,
                   {{"permissions", false, "/dev/bus/usb/001/002 is missing"}}},
        DoctorCase{"HeldByAnotherProcess", heldOpen(), true, s_goodBench, 1,
                   {{"busy", false, "held open by process 4242 (velmor-center)"}}},
        DoctorCase{"HeldByAVelmordThatDoesNotServeUs", heldOpen("velmord"), true, s_goodBench, 1,
                   {{"busy", false, "velmord has the unit for every program"}}},
        DoctorCase{"FirmwareItsHardwareRefuses", UsbScene(), true, "FT232R:JXah00102:5.0", 1,
                   {{"unit", false, "not supported on its hardware (code 31)"}, {"unit", false, "1.2: firmware 2, 3 or 4"}}},
        DoctorCase{"AnotherMakersSerialIsNotAUnit", listedAs("0403", "FT4ABCDE"), true, s_goodBench, 0,
                   {{"usb", true, "no unit on USB"}}},
        DoctorCase{"AnotherVendorIsNotAUnit", listedAs("046d", "JXah00102"), true, s_goodBench, 0,
                   {{"usb", true, "no unit on USB"}}}),
    [](const auto &info) { return std::string(info.param.name); });

// velmord as doctor finds it: started here on a socket of its own, or a socket nothing answers
// on, or none where VELMOR_BROKER points, or VELMOR_BROKER off.
enum class Velmord { Serving, SocketLeftBehind, NoneWhereNamed, TurnedOff };

struct VelmordCase
{
    const char *name;
    Velmord velmord;
    UsbScene scene;
    bool inPlugdev;                     // plugdev may use velmord's socket
    int exitStatus;
    std::vector<Expected> expected;
};

void PrintTo(const VelmordCase &velmordCase, std::ostream *out) { *out << velmordCase.name; }

// A socket file with nothing listening on it, as a velmord that was killed leaves it: for
// plugdev to use.
void leaveSocketBehind(const fs::path &path)
{
    const int descriptor = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(descriptor, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    close(descriptor);
    EXPECT_EQ(chown(path.c_str(), 0, s_plugdev), 0);
    EXPECT_EQ(chmod(path.c_str(), 0660), 0);
}

class VelmorctlDoctorAndVelmord : public ::testing::TestWithParam<VelmordCase>, protected DoctorOnAMadeUpMachine
{
protected:
    void SetUp() override { makeRoot(); }

    void TearDown() override
    {
        if (m_velmord) {
            m_velmord->sendSignal(SIGTERM);
            m_velmord->finish();
        }
        removeRoot();
    }

    // velmord on its socket in the made-up root, serving the bench's units.
    void startVelmord(const fs::path &socket)
    {
        m_velmord = std::make_unique<ChildProcess>(
            VELMORD_PATH, std::vector<std::string>{"--socket", socket.string()},
            std::vector<std::string>{std::string("VELMOR_EMULATOR_BENCH=") + s_goodBench, "VELMOR_EMULATOR_STATE=off"});
        ASSERT_TRUE(m_velmord->waitForError("listening on", std::chrono::seconds(20))) << m_velmord->err();
    }

    std::unique_ptr<ChildProcess> m_velmord;
};

TEST_P(VelmorctlDoctorAndVelmord, SaysWhetherVelmordServesTheCalls)
{
    const VelmordCase &velmordCase = GetParam();
    makeScene(m_root, velmordCase.scene);
    const fs::path socket = m_root / "velmord.sock";
    if (velmordCase.velmord == Velmord::Serving)
        startVelmord(socket);
    else if (velmordCase.velmord == Velmord::SocketLeftBehind)
        leaveSocketBehind(socket);
    const std::string broker = velmordCase.velmord == Velmord::TurnedOff ? "off" : socket.string();
    const QJsonObject report = expectDoctorSays(
        m_root, velmordCase.inPlugdev,
        {std::string("VELMOR_EMULATOR_BENCH=") + s_goodBench, "VELMOR_EMULATOR_STATE=off", "VELMOR_BROKER=" + broker},
        velmordCase.exitStatus, velmordCase.expected);

    // velmord by its socket, and velmorctl itself among the programs it serves.
    const QJsonObject velmord = report.value("velmord").toObject();
    const bool serving = velmordCase.velmord == Velmord::Serving && velmordCase.inPlugdev;
    EXPECT_EQ(velmord.value("running").toBool(), serving);
    if (!serving)
        return;
    EXPECT_EQ(velmord.value("socket").toString().toStdString(), socket.string());
    EXPECT_TRUE(findingOf(report.value("checks").toArray(), "velmord").value("finding").toString().contains(
        QString::fromStdString("runs at " + socket.string())));
    const QJsonArray programs = velmord.value("programs").toArray();
    const auto self = std::find_if(programs.begin(), programs.end(),
                                   [](const QJsonValue &program) { return program.toObject().value("self").toBool(); });
    ASSERT_NE(self, programs.end()) << QJsonDocument(velmord).toJson().toStdString();
    EXPECT_EQ(self->toObject().value("command").toString(), QLatin1String("velmorctl"));
    EXPECT_EQ(self->toObject().value("uid").toInt(), int(s_nobody));
    EXPECT_EQ(self->toObject().value("user").toString(), QLatin1String("nobody"));
}

INSTANTIATE_TEST_SUITE_P(
    , VelmorctlDoctorAndVelmord,
    ::testing::Values(
        VelmordCase{"ServesTheCallsAndHasTheUnitOpen", Velmord::Serving, heldOpen("velmord"), true, 0,
                    {{"velmord", true, "the library's calls go through it"},
                     {"velmord-client", true, "velmorctl (pid "},
                     {"velmord-client", true, ", user nobody): this velmorctl"},
                     {"d2xx", true, "(velmord's, which makes the calls)"},
                     {"busy", true, "open in velmord (process 4242 (velmord)), which serves this program's calls"},
                     {"unit", true, "JXah00102, hardware 1.2, firmware 3.0: opens and answers"}}},
        VelmordCase{"OpensANodeTheUserMayNot", Velmord::Serving, nodeOf(0600, 0), true, 0,
                    {{"permissions", true, "cannot be opened by nobody, and need not be: velmord opens it"}}},
        VelmordCase{"AnotherProgramHoldsTheUnitBesideIt", Velmord::Serving, heldOpen("velmor-center"), true, 1,
                    {{"velmord", true, "serves"}, {"busy", false, "held open by process 4242 (velmor-center)"}}},
        VelmordCase{"SocketTheUserMayNotUse", Velmord::Serving, heldOpen("velmord"), false, 1,
                    {{"velmord", false, "nobody may not use it: the library's calls go directly to the units"},
                     {"velmord", false, "sudo adduser nobody plugdev"},
                     {"busy", false, "velmord has the unit for every program"}}},
        VelmordCase{"SocketLeftBehind", Velmord::SocketLeftBehind, UsbScene(), true, 1,
                    {{"velmord", false, "is there, but velmord does not answer"},
                     {"velmord", false, "or remove the socket it left"},
                     {"unit", true, "opens and answers"}}},
        VelmordCase{"NoSocketWhereVelmorBrokerPoints", Velmord::NoneWhereNamed, UsbScene(), true, 1,
                    {{"velmord", false, "where no socket is: the library's calls go directly to the units"},
                     {"velmord", false, "velmord --socket "}}},
        VelmordCase{"TurnedOff", Velmord::TurnedOff, UsbScene(), true, 0,
                    {{"velmord", true, "turned off (VELMOR_BROKER=off)"}, {"unit", true, "opens and answers"}}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
