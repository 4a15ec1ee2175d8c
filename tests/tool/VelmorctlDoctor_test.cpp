// velmorctl doctor on a made-up machine: a sysfs, /dev and /proc tree the test writes under
// --root, with one unit on USB as each case sets it up, and the emulator's units through the
// library. The checks of device permissions run velmorctl as user nobody (setpriv), so the
// cases need root to set the scene; elsewhere they are skipped.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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
    bool holder = false;                // process 4242 (velmor-center) has the node open
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

UsbScene heldOpen()
{
    UsbScene scene;
    scene.holder = true;
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
    if (scene.holder) {
        writeFile(root / "proc/4242/comm", "velmor-center");
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

class VelmorctlDoctor : public ::testing::TestWithParam<DoctorCase>
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0 || access(s_setpriv, X_OK) != 0)
            GTEST_SKIP() << "needs root and setpriv to run velmorctl as another user";
        m_root = newTemporaryDirectory();
    }

    void TearDown() override
    {
        std::error_code ignored;
        if (!m_root.empty())
            fs::remove_all(m_root, ignored);
    }

    fs::path m_root;
};

TEST_P(VelmorctlDoctor, SaysWhatIsWrongAndHowToFixIt)
{
    const DoctorCase &doctorCase = GetParam();
    makeScene(m_root, doctorCase.scene);
    ChildProcess doctor(s_setpriv,
                        {"--reuid=" + std::to_string(s_nobody), "--regid=" + std::to_string(s_nobody),
                         doctorCase.inPlugdev ? "--groups=" + std::to_string(s_plugdev) : "--clear-groups",
                         VELMORCTL_PATH, "--json", "doctor", "--root", m_root.string()},
                        {std::string("VELMOR_EMULATOR_BENCH=") + doctorCase.bench, "VELMOR_EMULATOR_STATE=off"});
    doctor.finish();
    EXPECT_EQ(doctor.exitStatus(), doctorCase.exitStatus) << doctor.out() << doctor.err();
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(doctor.out())).object();
    EXPECT_EQ(report.value("ok").toBool(), doctorCase.exitStatus == 0) << doctor.out();
    const QJsonArray checks = report.value("checks").toArray();
    for (const Expected &expected : doctorCase.expected) {
        const QJsonObject finding = findingOf(checks, expected.check);
        ASSERT_FALSE(finding.isEmpty()) << expected.check << " missing in " << doctor.out();
        EXPECT_EQ(finding.value("ok").toBool(), expected.ok) << expected.check << ": " << doctor.out();
        const QString words = finding.value("finding").toString() + " " + finding.value("fix").toString();
        EXPECT_TRUE(words.contains(QString::fromUtf8(expected.words))) << expected.check << ": " << words.toStdString();
    }
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
        DoctorCase{"FirmwareItsHardwareRefuses", UsbScene(), true, "FT232R:JXah00102:5.0", 1,
                   {{"unit", false, "not supported on its hardware (code 31)"}, {"unit", false, "1.2: firmware 2, 3 or 4"}}},
        DoctorCase{"AnotherMakersSerialIsNotAUnit", listedAs("0403", "FT4ABCDE"), true, s_goodBench, 0,
                   {{"usb", true, "no unit on USB"}}},
        DoctorCase{"AnotherVendorIsNotAUnit", listedAs("046d", "JXah00102"), true, s_goodBench, 0,
                   {{"usb", true, "no unit on USB"}}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
