// One connection between a client and velmord: a Unix domain socket on Linux, a named pipe on
// Windows. Whole messages go out and come in; a read waits at most the time given, and a peer
// that goes away ends the read at once.
#ifndef BROKERCHANNEL_H
#define BROKERCHANNEL_H

#include "BrokerMessage.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class BrokerChannel
{
public:
    virtual ~BrokerChannel() = default;

    // Connects to the socket or pipe at `path`; null when nothing listens there. On Windows only
    // a local pipe's path (\\.\pipe\NAME) is ever opened.
    static std::unique_ptr<BrokerChannel> connectTo(const std::string &path);
    // Takes over an accepted connection (a socket descriptor, or a pipe handle on Windows).
    static std::unique_ptr<BrokerChannel> adopt(intptr_t handle);
    // Whether something may listen at `path` (the socket file or the pipe exists): cheap
    // enough to ask before every call.
    static bool mayListen(const std::string &path);
    // The default place of velmord's socket for this user: the user instance's, else the
    // system instance's; on Windows the pipe \\.\pipe\velmord. "" when none exists.
    static std::string defaultPath();

    virtual bool send(const BrokerMessage &message) = 0;
    // Why receive gave nothing.
    enum class Failure { None, Closed, TimedOut, Malformed };
    // The next whole message, within `timeoutMs`.
    std::optional<BrokerMessage> receive(int timeoutMs, Failure *failure = nullptr);

protected:
    using Clock = std::chrono::steady_clock;
    // Reads exactly `count` bytes by the deadline.
    virtual Failure readExactly(char *out, size_t count, Clock::time_point deadline) = 0;
};

#endif // BROKERCHANNEL_H
