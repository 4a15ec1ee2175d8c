// velmord at work: holds the attached units (UnitWatcher) and serves each connection the
// listener accepts in a thread of its own, until the listener is stopped.
#ifndef VELMORD_SERVER_H
#define VELMORD_SERVER_H

#include "Listener.h"
#include "SessionTable.h"
#include "UnitWatcher.h"

#include <cstdint>

class Server
{
public:
    explicit Server(Listener &listener);
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Returns once Listener::stop() was called; connections still open are served on.
    void run();
    SessionTable &sessions() { return m_sessions; }

private:
    void loadProfiles();

    Listener &m_listener;
    SessionTable m_sessions;
    UnitWatcher m_watcher;
    int64_t m_instance;
};

#endif // VELMORD_SERVER_H
