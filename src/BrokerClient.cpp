#include "BrokerClient.h"

#include "BrokerChannel.h"
#include "LibrarySession.h"
#include "VelmorLibExtras.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QtGlobal>
#include <map>
#include <memory>
#include <mutex>
#include <random>

namespace {

struct Connection
{
    std::unique_ptr<BrokerChannel> channel;
    std::string path;
};

thread_local Connection t_connection;
thread_local bool t_direct = false;

// What the host asked for, and the way its calls went last.
struct HostState
{
    std::mutex mutex;
    bool initialised = false;
    std::map<int32_t, std::string> pins;
    bool lastWentToBroker = false;
    uint64_t token = 0;
};

HostState &hostState()
{
    static auto *const state = new HostState();
    return *state;
}

uint64_t sessionToken()
{
    HostState &state = hostState();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.token == 0) {
        std::random_device entropy;
        state.token = (uint64_t(entropy()) << 32) ^ entropy() ^ uint64_t(QCoreApplication::applicationPid());
    }
    return state.token;
}

std::string configuredPath()
{
    const QByteArray chosen = qgetenv("VELMOR_BROKER");
    if (chosen == "off")
        return std::string();
    if (!chosen.isEmpty())
        return BrokerChannel::mayListen(chosen.toStdString()) ? chosen.toStdString() : std::string();
    return BrokerChannel::defaultPath();
}

std::string programName()
{
    // velmord reads the command from the system where it can; this is the name elsewhere.
    if (QCoreApplication::instance() == nullptr)
        return std::string();
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
}

int32_t replyCode(const BrokerMessage &reply)
{
    return !reply.fields().empty() && reply.fields()[0].type == BrokerField::Integer ? int32_t(reply.fields()[0].integer)
                                                                                   : int32_t(-1);
}

std::optional<BrokerMessage> exchange(BrokerChannel &channel, const BrokerMessage &message, int timeoutMs)
{
    if (!channel.send(message))
        return std::nullopt;
    std::optional<BrokerMessage> reply = channel.receive(timeoutMs);
    if (!reply || reply->kind() == BrokerMessage::Hello || reply->kind() == BrokerMessage::Call)
        return std::nullopt;
    return reply;
}

BrokerMessage callMessage(BrokerFunction function, std::vector<BrokerField> arguments)
{
    BrokerMessage message(BrokerMessage::Call);
    message.add(BrokerField::of(int64_t(function)));
    for (BrokerField &argument : arguments)
        message.add(std::move(argument));
    return message;
}

// A session velmord made new has none of the host's state: the host initialised and held
// units, so it gets them again. A hold whose unit is listed at another index now is dropped:
// the index no longer leads to that unit.
void restoreHostState(BrokerChannel &channel)
{
    HostState &state = hostState();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (!state.initialised)
        return;
    exchange(channel, callMessage(BrokerFunction::Initialise, {}), BrokerClient::kReplyTimeoutMs);
    for (auto pin = state.pins.begin(); pin != state.pins.end();) {
        const auto reply = exchange(channel,
                                    callMessage(BrokerFunction::HoldUnitBySerial,
                                                {BrokerField::ofBytes(pin->second), BrokerField::of(0)}),
                                    BrokerClient::kReplyTimeoutMs);
        const bool sameIndex = reply && replyCode(*reply) == VELMOR_OK && reply->fields().size() > 1
                               && reply->fields()[1].integer == pin->first;
        if (sameIndex) {
            ++pin;
            continue;
        }
        if (reply && reply->fields().size() > 1 && reply->fields()[1].integer > 0)
            exchange(channel, callMessage(BrokerFunction::ReleaseUnit, {BrokerField::of(reply->fields()[1].integer)}),
                     BrokerClient::kReplyTimeoutMs);
        pin = state.pins.erase(pin);
    }
}

// Connects the calling thread to velmord at `path` and joins the process's session there.
bool connectThread(const std::string &path)
{
    t_connection = Connection();
    std::unique_ptr<BrokerChannel> channel = BrokerChannel::connectTo(path);
    if (!channel)
        return false;
    BrokerMessage hello(BrokerMessage::Hello);
    hello.add(BrokerField::of(BrokerMessage::kProtocolVersion));
    hello.add(BrokerField::of(int64_t(sessionToken())));
    hello.add(BrokerField::of(QCoreApplication::applicationPid()));
    hello.add(BrokerField::ofBytes(programName()));
    const std::optional<BrokerMessage> welcome = exchange(*channel, hello, BrokerClient::kWelcomeTimeoutMs);
    if (!welcome || welcome->kind() != BrokerMessage::Welcome || welcome->fields().size() < 3)
        return false;
    if (welcome->fields()[2].integer != 0)
        restoreHostState(*channel);
    t_connection.channel = std::move(channel);
    t_connection.path = path;
    return true;
}

// The host's state set up again in the process itself, when its calls go direct after velmord.
void restoreDirectly()
{
    bool initialised;
    std::map<int32_t, std::string> pins;
    {
        HostState &state = hostState();
        std::lock_guard<std::mutex> guard(state.mutex);
        if (!state.lastWentToBroker)
            return;
        state.lastWentToBroker = false;
        initialised = state.initialised;
        pins.swap(state.pins);
    }
    const BrokerClient::DirectScope direct;
    if (!initialised)
        return;
    initialise();
    for (const auto &pin : pins) {
        int32_t index = 0;
        const int32_t code = velmorHoldUnitBySerial(pin.second.c_str(), &index);
        if (code == VELMOR_OK && index != pin.first)
            velmorReleaseUnit(index);
    }
}

} // namespace

bool BrokerClient::routes()
{
    if (t_direct || LibrarySession::isEntered())
        return false;
    if (!LibrarySession::processSession().holding.load() && !configuredPath().empty())
        return true;
    restoreDirectly();
    return false;
}

BrokerClient::Outcome BrokerClient::call(BrokerFunction function, std::vector<BrokerField> arguments, BrokerMessage *reply)
{
    const std::string path = configuredPath();
    const BrokerMessage message = callMessage(function, std::move(arguments));
    bool sent = t_connection.channel && t_connection.path == path && t_connection.channel->send(message);
    // A connection velmord closed since the last call (it stopped, or started anew) takes the
    // call nowhere: a fresh one does, or the call goes direct.
    if (!sent) {
        if (!connectThread(path)) {
            t_connection = Connection();
            restoreDirectly();
            return Outcome::Unreachable;
        }
        sent = t_connection.channel->send(message);
    }
    {
        HostState &state = hostState();
        std::lock_guard<std::mutex> guard(state.mutex);
        state.lastWentToBroker = true;
    }
    std::optional<BrokerMessage> answer;
    if (sent)
        answer = t_connection.channel->receive(kReplyTimeoutMs);
    if (!answer || answer->kind() != BrokerMessage::Reply || replyCode(*answer) < 0) {
        t_connection = Connection();
        return Outcome::Lost;
    }
    *reply = std::move(*answer);
    return Outcome::Replied;
}

std::optional<std::vector<BrokerClient::Client>> BrokerClient::connectedClients(std::string *path)
{
    *path = configuredPath();
    if (path->empty() || (t_connection.path != *path && !connectThread(*path)))
        return std::nullopt;
    if (!t_connection.channel && !connectThread(*path))
        return std::nullopt;
    const std::optional<BrokerMessage> answer = exchange(*t_connection.channel, BrokerMessage(BrokerMessage::Clients),
                                                         kWelcomeTimeoutMs);
    if (!answer || answer->kind() != BrokerMessage::Reply) {
        t_connection = Connection();
        return std::nullopt;
    }
    std::vector<Client> clients;
    const std::vector<BrokerField> &fields = answer->fields();
    for (size_t at = 1; at + 2 < fields.size(); at += 3)
        clients.push_back(Client{fields[at].integer, fields[at + 1].integer, fields[at + 2].bytes});
    return clients;
}

void BrokerClient::noteInitialised()
{
    HostState &state = hostState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.initialised = true;
    state.pins.clear();
}

void BrokerClient::noteHeld(int32_t deviceIndex, const std::string &serialNumber)
{
    HostState &state = hostState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.pins[deviceIndex] = serialNumber;
}

void BrokerClient::noteReleased(int32_t deviceIndex)
{
    HostState &state = hostState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.pins.erase(deviceIndex);
}

void BrokerClient::noteAllReleased()
{
    HostState &state = hostState();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.pins.clear();
}

BrokerClient::DirectScope::DirectScope()
    : m_outer(t_direct)
{
    t_direct = true;
}

BrokerClient::DirectScope::~DirectScope()
{
    t_direct = m_outer;
}
