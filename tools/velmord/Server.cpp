#include "Server.h"

#include "ClientConnection.h"
#include "Log.h"
#include "VelmorLibExtras.h"

#include <chrono>
#include <memory>
#include <thread>

Server::Server(Listener &listener)
    : m_listener(listener)
    , m_instance(static_cast<int64_t>(std::chrono::system_clock::now().time_since_epoch().count()))
{
}

void Server::loadProfiles()
{
    // Travel limits apply to every client's moves, those of programs that know no profiles too.
    std::string report(64 * 1024, '\0');
    velmorLoadProfiles(nullptr, &report[0], uint32_t(report.size()), nullptr);
    Log::line("profiles: " + std::string(report.c_str()));
}

void Server::run()
{
    initialise();
    loadProfiles();
    // The first look holds the units while the first clients are welcomed: a unit whose
    // start-up fails takes seconds, and no client is kept waiting for its welcome meanwhile.
    m_watcher.start();
    int number = 0;
    for (;;) {
        SessionTable::Peer peer;
        std::unique_ptr<BrokerChannel> channel = m_listener.accept(&peer);
        if (!channel)
            break;
        auto connection = std::make_shared<ClientConnection>(std::move(channel), peer, ++number, m_sessions, m_instance);
        std::thread([connection] { connection->serve(); }).detach();
    }
    m_watcher.stop();
}
