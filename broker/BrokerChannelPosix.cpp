#include "BrokerChannel.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

class PosixBrokerChannel : public BrokerChannel
{
public:
    explicit PosixBrokerChannel(int descriptor)
        : m_descriptor(descriptor)
    {
    }
    ~PosixBrokerChannel() override { ::close(m_descriptor); }
    PosixBrokerChannel(const PosixBrokerChannel &) = delete;
    PosixBrokerChannel &operator=(const PosixBrokerChannel &) = delete;

    bool send(const BrokerMessage &message) override
    {
        const std::string bytes = message.encode();
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t written = ::send(m_descriptor, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            sent += static_cast<size_t>(written);
        }
        return true;
    }

protected:
    Failure readExactly(char *out, size_t count, Clock::time_point deadline) override
    {
        size_t got = 0;
        while (got < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return Failure::TimedOut;
            pollfd waiting{m_descriptor, POLLIN, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(left));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return Failure::Closed;
            if (ready == 0)
                return Failure::TimedOut;
            const ssize_t read = ::recv(m_descriptor, out + got, count - got, 0);
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0)
                return Failure::Closed;
            got += static_cast<size_t>(read);
        }
        return Failure::None;
    }

    int m_descriptor;
};

} // namespace

std::unique_ptr<BrokerChannel> BrokerChannel::connectTo(const std::string &path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return nullptr;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return nullptr;
    if (::connect(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(descriptor);
        return nullptr;
    }
    return std::make_unique<PosixBrokerChannel>(descriptor);
}

std::unique_ptr<BrokerChannel> BrokerChannel::adopt(intptr_t handle)
{
    return std::make_unique<PosixBrokerChannel>(static_cast<int>(handle));
}

bool BrokerChannel::mayListen(const std::string &path)
{
    struct stat status {};
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

std::string BrokerChannel::defaultPath()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        const std::string user = std::string(runtime) + "/velmord.sock";
        if (mayListen(user))
            return user;
    }
    const std::string system = "/run/velmord/velmord.sock";
    return mayListen(system) ? system : std::string();
}
