// The library's side of velmord: whether this call goes to velmord or to the units directly,
// and the exchange when it goes to velmord. Calls go to velmord when its socket is there
// (VELMOR_BROKER=PATH names it, VELMOR_BROKER=off never; else the user instance's, then the
// system instance's), unless this process holds units itself: they stay with it. Each calling
// thread uses a connection of its own (kept for the next call); all of the process's
// connections share one session in velmord, which holds what the host initialised and held.
// When velmord is gone before a call, the call goes direct; gone during a call, the call fails
// with its own failure code. A new velmord, or the step to direct, gets the host's state again:
// initialise when the host had called it, and its holds by the serial number of the held unit.
#ifndef BROKERCLIENT_H
#define BROKERCLIENT_H

#include "BrokerFunction.h"
#include "BrokerMessage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class BrokerClient
{
public:
    // Whether the calling thread's calls go to velmord now.
    static bool routes();

    enum class Outcome { Replied, Unreachable, Lost };
    // Sends one call and waits for its reply.
    static Outcome call(BrokerFunction function, std::vector<BrokerField> arguments, BrokerMessage *reply);
    // The connected programs velmord reports: per program its uid, pid and command; nothing
    // when no velmord answers.
    struct Client
    {
        int64_t uid;
        int64_t pid;
        std::string command;
    };
    static std::optional<std::vector<Client>> connectedClients(std::string *path);

    // What the host asked for, kept to set a new velmord (or the direct way) up as it was.
    static void noteInitialised();
    static void noteHeld(int32_t deviceIndex, const std::string &serialNumber);
    static void noteReleased(int32_t deviceIndex);
    static void noteAllReleased();

    // The calling thread's calls go direct for the scope, whatever runs.
    class DirectScope
    {
    public:
        DirectScope();
        ~DirectScope();
        DirectScope(const DirectScope &) = delete;
        DirectScope &operator=(const DirectScope &) = delete;

    private:
        bool m_outer;
    };

    // How long a call waits for velmord's reply: longer than any call takes, so only a velmord
    // that stopped answering gets there.
    static constexpr int kReplyTimeoutMs = 120000;
    static constexpr int kWelcomeTimeoutMs = 3000;
};

#endif // BROKERCLIENT_H
