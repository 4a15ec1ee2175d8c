#include "ClientConnection.h"

#include "CallDispatcher.h"
#include "Log.h"

#include <climits>

ClientConnection::ClientConnection(std::unique_ptr<BrokerChannel> channel, const SessionTable::Peer &peer, int number,
                                   SessionTable &sessions, int64_t instance)
    : m_channel(std::move(channel))
    , m_peer(peer)
    , m_number(number)
    , m_sessions(sessions)
    , m_instance(instance)
{
}

std::string ClientConnection::who() const
{
    return "client " + std::to_string(m_number) + " (uid " + std::to_string(m_peer.uid) + ", gid "
           + std::to_string(m_peer.gid) + ", pid " + std::to_string(m_peer.pid) + ", " + m_peer.command + ")";
}

void ClientConnection::serve()
{
    if (!greet())
        return;
    for (;;) {
        BrokerChannel::Failure failure = BrokerChannel::Failure::None;
        const std::optional<BrokerMessage> message = m_channel->receive(INT_MAX, &failure);
        if (!message) {
            if (failure == BrokerChannel::Failure::Malformed)
                Log::line(who() + ": malformed message; connection closed");
            break;
        }
        const Answer answered = answer(*message);
        if (answered == Answer::Unfit)
            Log::line(who() + ": message does not fit any call; connection closed");
        if (answered != Answer::Sent)
            break;
    }
    velmorEnterSession(nullptr);
    m_sessions.leave(m_peer.uid, m_token, m_number);
    Log::line(who() + " disconnected");
}

bool ClientConnection::greet()
{
    BrokerChannel::Failure failure = BrokerChannel::Failure::None;
    const std::optional<BrokerMessage> hello = m_channel->receive(kHelloTimeoutMs, &failure);
    const bool fits = hello && hello->kind() == BrokerMessage::Hello && hello->fields().size() == 4
                      && hello->fields()[0].type == BrokerField::Integer && hello->fields()[1].type == BrokerField::Integer
                      && hello->fields()[0].integer == BrokerMessage::kProtocolVersion;
    if (!fits) {
        Log::line(who() + ": no valid Hello; connection closed");
        return false;
    }
    m_token = static_cast<uint64_t>(hello->fields()[1].integer);
    if (m_peer.command.empty() && hello->fields()[3].type == BrokerField::Bytes)
        m_peer.command = hello->fields()[3].bytes.substr(0, 64);
    bool isNew = false;
    m_session = m_sessions.join(m_peer.uid, m_token, m_peer, m_number, &isNew);
    if (m_session == nullptr)
        return false;
    velmorEnterSession(m_session);
    Log::line(who() + " connected" + (isNew ? "" : ", in the session of an earlier connection"));
    BrokerMessage welcome(BrokerMessage::Welcome);
    welcome.add(BrokerField::of(BrokerMessage::kProtocolVersion));
    welcome.add(BrokerField::of(m_instance));
    welcome.add(BrokerField::of(isNew ? 1 : 0));
    if (m_channel->send(welcome))
        return true;
    m_sessions.leave(m_peer.uid, m_token, m_number);
    return false;
}

ClientConnection::Answer ClientConnection::answer(const BrokerMessage &message)
{
    if (message.kind() == BrokerMessage::Clients) {
        BrokerMessage reply(BrokerMessage::Reply);
        reply.add(BrokerField::of(0));
        for (const SessionTable::Peer &peer : m_sessions.connectedPeers()) {
            reply.add(BrokerField::of(peer.uid));
            reply.add(BrokerField::of(peer.pid));
            reply.add(BrokerField::ofBytes(peer.command));
        }
        return m_channel->send(reply) ? Answer::Sent : Answer::ClientGone;
    }
    const std::optional<BrokerMessage> reply = CallDispatcher::run(message);
    if (!reply)
        return Answer::Unfit;
    if (Log::verbose())
        Log::detail(who() + ": " + CallDispatcher::functionName(message) + " -> " + std::to_string(reply->fields()[0].integer));
    return m_channel->send(*reply) ? Answer::Sent : Answer::ClientGone;
}
