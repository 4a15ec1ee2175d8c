// The clients' sessions in the library, by the user and the token a client process sends: the
// connections of one process share its session, and a session ends, releasing its holds, when
// its last connection closes. A token names a session only for the user who made it.
#ifndef VELMORD_SESSIONTABLE_H
#define VELMORD_SESSIONTABLE_H

#include "VelmorLibExtras.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class SessionTable
{
public:
    struct Peer
    {
        int64_t uid = -1;
        int64_t gid = -1;
        int64_t pid = -1;
        std::string command;
    };

    // The session of (uid, token), made when it is new; `isNew` says which.
    VelmorSession *join(int64_t uid, uint64_t token, const Peer &peer, int connection, bool *isNew);
    void leave(int64_t uid, uint64_t token, int connection);
    std::vector<Peer> connectedPeers();

private:
    struct Entry
    {
        VelmorSession *session = nullptr;
        std::map<int, Peer> connections;
    };
    std::mutex m_mutex;
    std::map<std::pair<int64_t, uint64_t>, Entry> m_sessions;
};

#endif // VELMORD_SESSIONTABLE_H
