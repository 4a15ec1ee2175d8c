// A client end of a connection to a listener, writing bytes as they are given: for messages
// cut in pieces and for bytes that are no message at all. RawConnectionPosix.cpp (Unix domain
// sockets) and RawConnectionWindows.cpp (named pipes).
#ifndef VELMOR_TESTS_RAWCONNECTION_H
#define VELMOR_TESTS_RAWCONNECTION_H

#include <cstdint>
#include <string>

class RawConnection
{
public:
    // Connects to the listener at `address`; connected() tells whether it did.
    explicit RawConnection(const std::string &address);
    ~RawConnection();
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    bool connected() const;
    bool write(const std::string &bytes);
    // Ends the connection as a process that goes away does.
    void close();

    // An address of this platform's kind that nothing listens at yet, new on each call (a
    // socket path in a folder of its own, or a pipe's path); `folder` holds the socket.
    static std::string freshAddress(const std::string &folder);
    // Who may connect at `address`, as the platform keeps it: the socket file's permission bits
    // in octal ("660"); on Windows the SIDs that the pipe's access list allows, sorted and
    // joined by ';' (asking connects to the pipe, and leaves at once). "" when it cannot be read.
    static std::string accessOf(const std::string &address);
    // What velmord's listener should give: read and write for the owner and the group; on
    // Windows the user this process runs as and the Administrators alone.
    static std::string expectedAccess();

private:
    intptr_t m_handle;
};

#endif
