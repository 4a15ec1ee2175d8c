#include "HostUnitChecks.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const char s_serialDriver[] = "ftdi_sio";

// One of our units as sysfs lists it.
struct UsbUnit
{
    std::string name;       // sysfs's name of the USB device: "1-1.2"
    std::string serial;
    int bus = 0;
    int device = 0;
};

std::string firstLine(const fs::path &file)
{
    std::ifstream stream(file);
    std::string line;
    std::getline(stream, line);
    return line;
}

// Ours: FTDI's vendor ID and a serial number starting "JX", as the udev rule matches them.
std::vector<UsbUnit> unitsOnUsb(const fs::path &devices)
{
    std::vector<UsbUnit> units;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(devices, error)) {
        UsbUnit unit;
        unit.name = entry.path().filename().string();
        // Interfaces ("1-1.2:1.0") and root hubs ("usb1") are not units.
        if (unit.name.find(':') != std::string::npos || firstLine(entry.path() / "idVendor") != "0403")
            continue;
        unit.serial = firstLine(entry.path() / "serial");
        if (unit.serial.compare(0, 2, "JX") != 0)
            continue;
        unit.bus = std::atoi(firstLine(entry.path() / "busnum").c_str());
        unit.device = std::atoi(firstLine(entry.path() / "devnum").c_str());
        units.push_back(unit);
    }
    std::sort(units.begin(), units.end(), [](const UsbUnit &a, const UsbUnit &b) { return a.name < b.name; });
    return units;
}

std::vector<std::string> interfacesBoundTo(const fs::path &devices, const UsbUnit &unit, const std::string &driver)
{
    std::vector<std::string> interfaces;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(devices, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, unit.name.size() + 1, unit.name + ":") != 0)
            continue;
        const fs::path bound = fs::read_symlink(entry.path() / "driver", error);
        if (!error && bound.filename() == driver)
            interfaces.push_back(name);
    }
    std::sort(interfaces.begin(), interfaces.end());
    return interfaces;
}

std::string nodeOf(const UsbUnit &unit)
{
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", unit.bus, unit.device);
    return path;
}

std::string joined(const std::vector<std::string> &words)
{
    std::string text;
    for (const std::string &word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

std::string userName()
{
    const passwd *entry = getpwuid(geteuid());
    return entry != nullptr ? entry->pw_name : "uid " + std::to_string(geteuid());
}

std::string groupName(gid_t group)
{
    const struct group *entry = getgrgid(group);
    return entry != nullptr ? entry->gr_name : std::to_string(group);
}

bool inGroup(gid_t group)
{
    if (getegid() == group)
        return true;
    std::vector<gid_t> groups(64);
    int count = getgroups(int(groups.size()), groups.data());
    if (count < 0) {
        groups.resize(size_t(getgroups(0, nullptr)));
        count = getgroups(int(groups.size()), groups.data());
    }
    return std::find(groups.begin(), groups.begin() + std::max(count, 0), group) != groups.begin() + std::max(count, 0);
}

// The owner's bits apply to the owner, the group's to its members, the others' to the rest.
bool canReadAndWrite(const struct stat &node)
{
    if (geteuid() == 0)
        return true;
    if (node.st_uid == geteuid())
        return (node.st_mode & 0600) == 0600;
    if (inGroup(node.st_gid))
        return (node.st_mode & 0060) == 0060;
    return (node.st_mode & 0006) == 0006;
}

std::string describe(const struct stat &node)
{
    const passwd *owner = getpwuid(node.st_uid);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", unsigned(node.st_mode & 07777));
    return std::string(owner != nullptr ? owner->pw_name : std::to_string(node.st_uid)) + ":"
        + groupName(node.st_gid) + " " + mode;
}

// A process that has a unit's node open.
struct Holder
{
    std::string pid;
    std::string command;

    std::string text() const { return "process " + pid + " (" + command + ")"; }
    bool isVelmord() const { return command == "velmord"; }
};

std::string joined(const std::vector<Holder> &holders)
{
    std::vector<std::string> texts;
    for (const Holder &holder : holders)
        texts.push_back(holder.text());
    return joined(texts);
}

class UnitChecks
{
public:
    UnitChecks(const fs::path &root, const UsbUnit &unit, bool throughVelmord)
        : m_root(root)
        , m_unit(unit)
        , m_subject("unit " + unit.serial + " (USB " + unit.name + ")")
        , m_throughVelmord(throughVelmord)
    {
    }

    void addTo(std::vector<DoctorFinding> &findings) const
    {
        findings.push_back(serialDriver());
        findings.push_back(permissions());
        findings.push_back(holders());
    }

private:
    DoctorFinding serialDriver() const
    {
        const std::vector<std::string> bound = interfacesBoundTo(m_root / "sys/bus/usb/devices", m_unit, s_serialDriver);
        if (bound.empty())
            return DoctorFinding::good("serial-driver", m_subject, "not bound to the kernel's ftdi_sio serial driver");
        return DoctorFinding::problem(
            "serial-driver", m_subject,
            "the kernel's ftdi_sio serial driver has interface " + joined(bound) + ", so D2XX cannot open the unit",
            "install the udev rule 60-velmorlib.rules (it comes with velmorctl's package; it unbinds ftdi_sio from "
            "our units only) and plug the unit in again, or unbind it now as root: echo -n " + bound.front()
                + " > /sys/bus/usb/drivers/ftdi_sio/unbind");
    }

    DoctorFinding permissions() const
    {
        const std::string node = nodeOf(m_unit);
        struct stat status;
        if (stat((m_root / node.substr(1)).c_str(), &status) != 0)
            return DoctorFinding::problem("permissions", m_subject, "its device node " + node + " is missing",
                                          "plug the unit in again; the kernel and udev make the node");
        const std::string described = node + " (" + describe(status) + ")";
        if (canReadAndWrite(status))
            return DoctorFinding::good("permissions", m_subject, described + " can be opened for reading and writing by " + userName());
        if (m_throughVelmord)
            return DoctorFinding::good("permissions", m_subject,
                                       described + " cannot be opened by " + userName()
                                           + ", and need not be: velmord opens it for this program");
        return DoctorFinding::problem(
            "permissions", m_subject, described + " cannot be opened for reading and writing by " + userName(),
            "install the udev rule 60-velmorlib.rules (group plugdev may use our units) and plug the unit in "
            "again, and be a member of plugdev: sudo adduser " + userName() + " plugdev, then log in again");
    }

    // velmord has every unit open: for the programs whose calls it serves, which is this one
    // unless VELMOR_BROKER keeps its calls away.
    DoctorFinding holders() const
    {
        std::vector<Holder> processes = processesHolding(nodeOf(m_unit));
        if (processes.empty())
            return DoctorFinding::good("busy", m_subject, "no other process has it open");
        const auto others = std::stable_partition(processes.begin(), processes.end(), [](const Holder &h) { return h.isVelmord(); });
        const std::vector<Holder> velmord(processes.begin(), others);
        const std::vector<Holder> rest(others, processes.end());
        if (!rest.empty())
            return DoctorFinding::problem("busy", m_subject, "held open by " + joined(rest),
                                          "end that program, or have it release the unit: one program at a time "
                                          "can open a unit");
        if (m_throughVelmord)
            return DoctorFinding::good("busy", m_subject,
                                       "open in velmord (" + joined(velmord) + "), which serves this program's calls");
        return DoctorFinding::problem("busy", m_subject, "held open by " + joined(velmord),
                                      "velmord has the unit for every program: let this program's calls go to it "
                                      "(unset VELMOR_BROKER, or name velmord's socket in it), or stop velmord");
    }

    // Each process with the node among its open files.
    std::vector<Holder> processesHolding(const std::string &node) const
    {
        std::vector<Holder> processes;
        std::error_code error;
        const std::string own = std::to_string(getpid());
        const bool realProc = fs::equivalent(m_root, "/", error);
        for (const fs::directory_entry &process : fs::directory_iterator(m_root / "proc", error)) {
            const std::string pid = process.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos || (realProc && pid == own))
                continue;
            std::error_code unreadable;
            for (const fs::directory_entry &descriptor : fs::directory_iterator(process.path() / "fd", unreadable)) {
                std::error_code broken;
                if (fs::read_symlink(descriptor.path(), broken) == node) {
                    processes.push_back(Holder{pid, firstLine(process.path() / "comm")});
                    break;
                }
            }
        }
        std::sort(processes.begin(), processes.end(), [](const Holder &a, const Holder &b) { return a.text() < b.text(); });
        return processes;
    }

    fs::path m_root;
    UsbUnit m_unit;
    std::string m_subject;
    bool m_throughVelmord;
};

} // namespace

std::vector<DoctorFinding> HostUnitChecks::run(const std::string &root, bool throughVelmord)
{
    const fs::path top(root.empty() ? "/" : root);
    const std::vector<UsbUnit> units = unitsOnUsb(top / "sys/bus/usb/devices");
    if (units.empty())
        return {DoctorFinding::good("usb", "USB", "no unit on USB (FTDI's vendor ID 0403 and a serial starting JX)")};
    std::vector<DoctorFinding> findings;
    for (const UsbUnit &unit : units)
        UnitChecks(top, unit, throughVelmord).addTo(findings);
    return findings;
}
