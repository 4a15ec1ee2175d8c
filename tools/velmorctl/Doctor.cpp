#include "Doctor.h"

#include "CommandResult.h"
#include "D2xxCheck.h"
#include "ExitStatus.h"
#include "HostUnitChecks.h"
#include "JsonObject.h"
#include "OpenFailure.h"
#include "Reporter.h"
#include "UnitInfoText.h"
#include "VelmordCheck.h"
#include "VelmorLib.hpp"

#include <algorithm>
#include <cstdio>

namespace {

// D2XX writes its version in hexadecimal digits: 0x00010424 is 1.4.24.
std::string versionText(uint32_t version)
{
    char text[32];
    std::snprintf(text, sizeof text, "%x.%x.%x", (version >> 16) & 0xFF, (version >> 8) & 0xFF, version & 0xFF);
    return text;
}

// A unit the library lists but cannot open or identify: what the code means at a bench.
std::string fixFor(int32_t code)
{
    switch (code) {
    case VELMOR_ERROR_OPEN_FAILED:
        return "another program holds the unit, the kernel's ftdi_sio driver has it, or you may not open its "
               "device node: see the checks above";
    case VELMOR_ERROR_FIRMWARE_UNSUPPORTED:
        return "load a firmware its hardware accepts (hardware 1.1: firmware 2; 1.2: firmware 2, 3 or 4; 10.1 "
               "and 27.1: firmware 1), or use a VelmorLib that supports this firmware";
    default:
        return "unplug the unit, plug it in again and run doctor again; if it stays, the unit needs service";
    }
}

} // namespace

Doctor::Doctor(const std::string &root)
    : m_root(root)
{
}

// velmord first: where it serves this program, the checks after it are of velmord's D2XX and
// of the units velmord has open.
int Doctor::run(const Reporter &reporter)
{
    const VelmordCheck velmord;
    const std::vector<DoctorFinding> broker = velmord.findings();
    m_findings.insert(m_findings.end(), broker.begin(), broker.end());
    checkD2xx(velmord.serves());
    const std::vector<DoctorFinding> host = HostUnitChecks::run(m_root, velmord.serves());
    m_findings.insert(m_findings.end(), host.begin(), host.end());
    checkUnitsThroughLibrary();
    const bool healthy = std::all_of(m_findings.begin(), m_findings.end(), [](const DoctorFinding &f) { return f.ok; });
    if (reporter.json()) {
        std::vector<JsonObject> checks;
        for (const DoctorFinding &finding : m_findings) {
            JsonObject check;
            check.addText("check", finding.check).addText("subject", finding.subject).addBool("ok", finding.ok);
            check.addText("finding", finding.text);
            if (!finding.ok)
                check.addText("fix", finding.fix);
            checks.push_back(check);
        }
        JsonObject object;
        object.addText("command", "doctor").addBool("ok", healthy).addArray("checks", checks);
        reporter.output(object.addObject("velmord", velmord.json()).text() + "\n");
    } else {
        reporter.output(text());
    }
    return healthy ? 0 : ExitStatus::s_problemFound;
}

void Doctor::checkD2xx(bool throughVelmord)
{
    // velmord makes the calls, on the D2XX it loaded.
    const std::string whose = throughVelmord ? " (velmord's, which makes the calls)" : "";
    auto info = velmor::sized<VelmorD2xxInfo>();
    const int32_t code = velmorGetD2xxInfo(&info);
    if (code != VELMOR_OK) {
        m_findings.push_back(DoctorFinding::problem("d2xx", "D2XX", "the library cannot tell: " + CommandResult::textOf(code),
                                                    "use velmorctl and VelmorLib of the same version"));
    } else if (info.loaded == 0) {
        m_findings.push_back(DoctorFinding::problem("d2xx", "D2XX", "FTDI's D2XX library" + whose + " is missing: " + info.error,
                                                    D2xxCheck::installAdvice()));
    } else if (info.libraryVersion == 0) {
        m_findings.push_back(DoctorFinding::good(
            "d2xx", "D2XX",
            std::string(info.file) + whose + " is not FTDI's D2XX (it has no FT_GetLibraryVersion): the emulator of "
                                             "VelmorLib's build tree, whose units are emulated"));
    } else {
        m_findings.push_back(DoctorFinding::good(
            "d2xx", "D2XX", "FTDI's D2XX " + versionText(info.libraryVersion) + ", " + info.file + whose));
    }
}

void Doctor::checkUnitsThroughLibrary()
{
    int32_t count = 0;
    if (initialise() != VELMOR_OK || getDeviceCount(&count) != VELMOR_OK)
        return;
    for (int32_t index = 1; index <= count; ++index)
        m_findings.push_back(unitFinding(index));
}

// A unit another program has open is not opened: the listing says whose it is.
DoctorFinding Doctor::unitFinding(int32_t index)
{
    const std::string subject = "unit " + std::to_string(index);
    auto state = velmor::sized<VelmorUnitState>();
    const bool stateRead = velmorGetUnitState(index, &state) == VELMOR_OK;
    if (stateRead && OpenFailure::isBusy(state))
        return DoctorFinding::problem("unit", subject, std::string(state.serialNumber) + " is open in another program",
                                      "close it in that program, or let velmorctl wait for it with --retry-busy SECONDS");
    auto info = velmor::sized<VelmorUnitInfo>();
    const int32_t code = velmorGetUnitInfo(index, &info);
    if (code == VELMOR_OK)
        return DoctorFinding::good("unit", subject,
                                   std::string(info.serialNumber) + ", hardware " + UnitInfoText::hardware(info)
                                       + ", firmware " + UnitInfoText::firmware(info) + ": opens and answers");
    std::string text = CommandResult::textOf(code) + " (code " + std::to_string(code) + ")";
    if (stateRead && state.listed != 0)
        text = std::string(state.serialNumber) + ": " + text;
    return DoctorFinding::problem("unit", subject, text, fixFor(code));
}

std::string Doctor::text() const
{
    std::string text;
    size_t problems = 0;
    for (const DoctorFinding &finding : m_findings) {
        text += std::string(finding.ok ? "ok    " : "FAIL  ") + finding.subject + ": " + finding.text + "\n";
        if (!finding.ok) {
            text += "      fix: " + finding.fix + "\n";
            ++problems;
        }
    }
    if (problems == 0)
        return text + "no problem found\n";
    return text + std::to_string(problems) + (problems == 1 ? " problem" : " problems") + " found\n";
}
