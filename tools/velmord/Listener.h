// Where velmord listens. POSIX (ListenerPosix.cpp): a Unix domain socket (mode 0660, group
// plugdev where that group exists), made at the path given or handed over by systemd's socket
// activation. Windows (ListenerWindows.cpp): a local named pipe, \\.\pipe\velmord by default,
// open to the user velmord runs as and to Administrators, refusing remote clients. Nothing
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
    Listener();
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Listens at `path` (on Windows a pipe's path, or a bare pipe name); false with `error` set
    // when that fails.
    bool listenAt(const std::string &path, std::string *error);
    // Takes the socket systemd passed (LISTEN_FDS); false when none was passed (always on Windows).
    bool adoptActivated();
    // The next connection and its peer; null once stop() was called.
    std::unique_ptr<BrokerChannel> accept(SessionTable::Peer *peer);
    // Ends accept(), for good: safe from a signal handler and from a console control handler.
    static void stop();
    // Removes the socket file velmord made (a pipe goes with its handles).
    void removeSocketFile();
    const std::string &path() const { return m_path; }

    // The user instance's socket, or the system instance's for root; the pipe on Windows.
    static std::string defaultPath();
    // How --socket reads and what it defaults to, for velmord's usage text.
    static const char *const kPlaceHelp;

private:
    // The platform's listening socket or pipe instances.
    struct Private;
    std::unique_ptr<Private> m_pPrivate;
    std::string m_path;
};

#endif // VELMORD_LISTENER_H
