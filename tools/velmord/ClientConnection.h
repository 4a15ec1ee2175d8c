// One client connection, served in a thread of its own: the client's Hello joins it to its
// process's session, then each Call runs in that session and its Reply goes back. A malformed
// or oversized message, or one out of turn, closes the connection with a log line.
#ifndef VELMORD_CLIENTCONNECTION_H
#define VELMORD_CLIENTCONNECTION_H

#include "BrokerChannel.h"
#include "SessionTable.h"

#include <cstdint>
#include <memory>

class ClientConnection
{
public:
    ClientConnection(std::unique_ptr<BrokerChannel> channel, const SessionTable::Peer &peer, int number,
                     SessionTable &sessions, int64_t instance);
    // Serves the connection until the client closes it or breaks the rules.
    void serve();

    // How long a client may take to say Hello.
    static constexpr int kHelloTimeoutMs = 5000;

private:
    bool greet();
    // What became of a message: answered, fitting no call, or answered to a client that went
    // away meanwhile (a client killed during its call is no client that broke the rules).
    enum class Answer { Sent, Unfit, ClientGone };
    Answer answer(const BrokerMessage &message);
    std::string who() const;

    std::unique_ptr<BrokerChannel> m_channel;
    SessionTable::Peer m_peer;
    int m_number;
    SessionTable &m_sessions;
    int64_t m_instance;
    uint64_t m_token = 0;
    VelmorSession *m_session = nullptr;
};

#endif // VELMORD_CLIENTCONNECTION_H
