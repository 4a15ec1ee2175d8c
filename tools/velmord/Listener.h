// Where velmord listens: a Unix domain socket (mode 0660, group plugdev where that group
// exists), made at the path given or handed over by systemd's socket activation. Nothing
// listens on a network interface.
#ifndef VELMORD_LISTENER_H
#define VELMORD_LISTENER_H

#include "BrokerChannel.h"
#include "SessionTable.h"

#include <memory>
#include <string>

class Listener
{
public:
    // Listens at `path`; "" with `error` set when that fails.
    bool listenAt(const std::string &path, std::string *error);
    // Takes the socket systemd passed (LISTEN_FDS); false when none was passed.
    bool adoptActivated();
    // The next connection and its peer; null once stop() was called.
    std::unique_ptr<BrokerChannel> accept(SessionTable::Peer *peer);
    // Ends accept() (safe from a signal handler) and removes the socket file velmord made.
    static void stop();
    void removeSocketFile();
    const std::string &path() const { return m_path; }

    // The user instance's socket, or the system instance's for root.
    static std::string defaultPath();

private:
    int m_descriptor = -1;
    std::string m_path;
    bool m_madeFile = false;
};

#endif // VELMORD_LISTENER_H
