// velmord as `velmorctl doctor` sees it, from the library's velmorGetBrokerInfo: whether it runs
// and takes this program's calls, where its socket is, and the programs connected to it; where
// none runs, that the calls go directly to the units and how to start one.
#ifndef VELMORCTL_VELMORDCHECK_H
#define VELMORCTL_VELMORDCHECK_H

#include "DoctorFinding.h"
#include "JsonObject.h"
#include "VelmorLibExtras.h"

#include <cstdint>
#include <string>
#include <vector>

class VelmordCheck
{
public:
    // Asks the library once.
    VelmordCheck();

    // velmord answers: this program's calls go to it, and it has the units open.
    bool serves() const { return m_code == VELMOR_OK && m_info.running != 0; }
    std::vector<DoctorFinding> findings() const;
    // For --json: running, socket, the connections, and each connected program with its uid, user,
    // pid, command and connections.
    JsonObject json() const;

private:
    // A program connected to velmord: velmord lists each connection, and a program may have
    // several (one a thread that calls the library).
    struct Program
    {
        VelmorBrokerClient client;
        int32_t connections;
    };

    DoctorFinding state() const;
    std::vector<DoctorFinding> programFindings() const;
    // The connections velmord listed: the first 32.
    int32_t listedConnections() const;
    // "3 programs", or "at least 3 programs" when velmord has more connections than it listed.
    std::string programCount() const;

    // The platform's part (VelmordCheckPosix.cpp, VelmordCheckWindows.cpp).
    static std::string userName(int64_t uid);
    static int64_t ownProcess();
    // Empty when this user may connect to the socket at `path`; else why not.
    static std::string accessProblem(const std::string &path);
    // How to start velmord, in words.
    static std::string startAdvice();

    int32_t m_code;
    VelmorBrokerInfo m_info;
    std::vector<Program> m_programs;
};

#endif
