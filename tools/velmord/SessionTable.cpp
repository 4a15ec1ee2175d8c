#include "SessionTable.h"

VelmorSession *SessionTable::join(int64_t uid, uint64_t token, const Peer &peer, int connection, bool *isNew)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    Entry &entry = m_sessions[{uid, token}];
    *isNew = entry.session == nullptr;
    if (entry.session == nullptr && velmorOpenSession(&entry.session) != VELMOR_OK) {
        m_sessions.erase({uid, token});
        return nullptr;
    }
    entry.connections[connection] = peer;
    return entry.session;
}

void SessionTable::leave(int64_t uid, uint64_t token, int connection)
{
    VelmorSession *ended = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        const auto found = m_sessions.find({uid, token});
        if (found == m_sessions.end())
            return;
        found->second.connections.erase(connection);
        if (!found->second.connections.empty())
            return;
        ended = found->second.session;
        m_sessions.erase(found);
    }
    velmorCloseSession(ended);
}

std::vector<SessionTable::Peer> SessionTable::connectedPeers()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<Peer> peers;
    for (const auto &session : m_sessions) {
        for (const auto &connection : session.second.connections)
            peers.push_back(connection.second);
    }
    return peers;
}
