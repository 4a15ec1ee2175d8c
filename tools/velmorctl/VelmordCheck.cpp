#include "VelmordCheck.h"

#include "CommandResult.h"
#include "VelmorLib.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

const char s_check[] = "velmord";
const char s_clientCheck[] = "velmord-client";

std::string counted(size_t count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

VelmordCheck::VelmordCheck()
    : m_info(velmor::sized<VelmorBrokerInfo>())
{
    m_code = velmorGetBrokerInfo(&m_info);
    if (!serves())
        return;
    for (int32_t at = 0; at < listedConnections(); ++at) {
        const VelmorBrokerClient &client = m_info.clients[at];
        const auto known = std::find_if(m_programs.begin(), m_programs.end(), [&](const Program &program) {
            return program.client.pid == client.pid && program.client.uid == client.uid
                && std::strncmp(program.client.command, client.command, sizeof client.command) == 0;
        });
        if (known != m_programs.end())
            ++known->connections;
        else
            m_programs.push_back(Program{client, 1});
    }
}

std::vector<DoctorFinding> VelmordCheck::findings() const
{
    std::vector<DoctorFinding> findings{state()};
    if (serves()) {
        const std::vector<DoctorFinding> connected = programFindings();
        findings.insert(findings.end(), connected.begin(), connected.end());
    }
    return findings;
}

DoctorFinding VelmordCheck::state() const
{
    if (m_code != VELMOR_OK)
        return DoctorFinding::problem(s_check, s_check, "the library cannot tell: " + CommandResult::textOf(m_code),
                                      "use velmorctl and VelmorLib of the same version");
    const std::string socket = m_info.socket;
    if (serves())
        return DoctorFinding::good(s_check, s_check,
                                   "runs at " + socket + " and serves " + programCount() + " ("
                                       + counted(size_t(m_info.clientCount), "connection", "connections")
                                       + "): the library's calls go through it, and programs share the units");
    const char *chosen = std::getenv("VELMOR_BROKER");
    const std::string named = chosen != nullptr ? chosen : "";
    if (named == "off")
        return DoctorFinding::good(s_check, s_check,
                                   "turned off (VELMOR_BROKER=off): the library's calls go directly to the units, "
                                   "each open in one program at a time, even where velmord runs");
    if (!socket.empty()) {
        const std::string denied = accessProblem(socket);
        if (!denied.empty())
            return DoctorFinding::problem(s_check, s_check,
                                          "its socket " + socket + " is there, but " + denied
                                              + ": the library's calls go directly to the units",
                                          "be a member of the socket's group (the system instance's: plugdev): "
                                          "sudo adduser " + userName(-1) + " plugdev, then log in again");
        return DoctorFinding::problem(s_check, s_check,
                                      "its socket " + socket + " is there, but velmord does not answer: the "
                                                               "library's calls go directly to the units",
                                      "start velmord again (" + startAdvice() + "), or remove the socket it left");
    }
    if (!named.empty())
        return DoctorFinding::problem(s_check, s_check,
                                      "VELMOR_BROKER names " + named + ", where no socket is: the library's calls "
                                                                       "go directly to the units",
                                      "start velmord there (velmord --socket " + named
                                          + "), or unset VELMOR_BROKER to use the usual velmord");
    return DoctorFinding::good(s_check, s_check,
                               "not running: the library's calls go directly to the units, each open in one program "
                               "at a time; to share the units between programs, start velmord: "
                                   + startAdvice());
}

int32_t VelmordCheck::listedConnections() const
{
    return std::clamp<int32_t>(m_info.clientCount, 0, int32_t(std::size(m_info.clients)));
}

std::string VelmordCheck::programCount() const
{
    const std::string count = counted(m_programs.size(), "program", "programs");
    return m_info.clientCount > listedConnections() ? "at least " + count : count;
}

// "velmorctl (pid 4242, user alice, 2 connections): this velmorctl" for each connected program.
std::vector<DoctorFinding> VelmordCheck::programFindings() const
{
    std::vector<DoctorFinding> findings;
    for (const Program &program : m_programs) {
        const VelmorBrokerClient &client = program.client;
        const std::string command = client.command[0] != '\0' ? client.command : "a program";
        std::string text = command + " (pid " + std::to_string(client.pid) + ", user " + userName(client.uid);
        if (program.connections > 1)
            text += ", " + counted(size_t(program.connections), "connection", "connections");
        text += ")";
        if (client.pid == ownProcess())
            text += ": this velmorctl";
        findings.push_back(DoctorFinding::good(s_clientCheck, "velmord client", text));
    }
    if (m_info.clientCount > listedConnections())
        findings.push_back(DoctorFinding::good(
            s_clientCheck, "velmord clients",
            "and " + counted(size_t(m_info.clientCount - listedConnections()), "connection", "connections") + " more"));
    return findings;
}

JsonObject VelmordCheck::json() const
{
    JsonObject object;
    object.addBool("running", serves()).addText("socket", m_code == VELMOR_OK ? m_info.socket : "");
    if (!serves())
        return object;
    std::vector<JsonObject> programs;
    for (const Program &program : m_programs) {
        const VelmorBrokerClient &client = program.client;
        JsonObject entry;
        entry.addNumber("uid", client.uid).addText("user", userName(client.uid)).addNumber("pid", client.pid);
        entry.addText("command", client.command).addNumber("connections", int64_t(program.connections));
        programs.push_back(entry.addBool("self", client.pid == ownProcess()));
    }
    return object.addNumber("connections", int64_t(m_info.clientCount)).addArray("programs", programs);
}
