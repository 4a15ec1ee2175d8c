#include "Listener.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

struct Listener::Private
{
    ~Private()
    {
        if (descriptor >= 0)
            ::close(descriptor);
    }

    int descriptor = -1;
    bool madeFile = false;
};

namespace {

int s_stopPipe[2] = {-1, -1};

std::string commandOf(int64_t pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string command;
    std::getline(comm, command);
    return command;
}

void openStopPipe()
{
    if (s_stopPipe[0] < 0 && ::pipe2(s_stopPipe, O_CLOEXEC) != 0)
        s_stopPipe[0] = s_stopPipe[1] = -1;
}

bool someoneListens(const std::string &path)
{
    return static_cast<bool>(BrokerChannel::connectTo(path));
}

// Makes the folder the socket sits in when it is velmord's own (/run/velmord).
void makeSocketFolder(const std::string &path)
{
    const std::string folder = path.substr(0, path.find_last_of('/'));
    if (folder == "/run/velmord")
        ::mkdir(folder.c_str(), 0755);
}

} // namespace

const char *const Listener::kPlaceHelp =
    "  --socket PATH  listen on PATH (default: $XDG_RUNTIME_DIR/velmord.sock, or\n"
    "                 /run/velmord/velmord.sock for root); under systemd's socket\n"
    "                 activation the socket passed is used\n";

Listener::Listener()
    : m_pPrivate(std::make_unique<Private>())
{
}

Listener::~Listener() = default;

std::string Listener::defaultPath()
{
    if (::geteuid() == 0)
        return "/run/velmord/velmord.sock";
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && runtime[0] != '\0' ? std::string(runtime) + "/velmord.sock" : std::string();
}

bool Listener::listenAt(const std::string &path, std::string *error)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        *error = path.empty() ? "no socket path: XDG_RUNTIME_DIR is not set (give --socket PATH)"
                              : "socket path too long: " + path;
        return false;
    }
    if (someoneListens(path)) {
        *error = "another velmord already listens on " + path;
        return false;
    }
    openStopPipe();
    makeSocketFolder(path);
    ::unlink(path.c_str());
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int &descriptor = m_pPrivate->descriptor;
    descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const mode_t before = ::umask(0117);
    const bool bound = descriptor >= 0 && ::bind(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::umask(before);
    if (!bound || ::listen(descriptor, 64) != 0) {
        *error = "cannot listen on " + path + ": " + std::strerror(errno);
        return false;
    }
    m_path = path;
    m_pPrivate->madeFile = true;
    if (const group *plugdev = ::getgrnam("plugdev"))
        static_cast<void>(::chown(path.c_str(), static_cast<uid_t>(-1), plugdev->gr_gid));
    ::chmod(path.c_str(), 0660);
    return true;
}

bool Listener::adoptActivated()
{
    const char *pid = std::getenv("LISTEN_PID");
    const char *fds = std::getenv("LISTEN_FDS");
    if (pid == nullptr || fds == nullptr || std::atoll(pid) != ::getpid() || std::atoi(fds) < 1)
        return false;
    openStopPipe();
    // systemd's first passed descriptor is 3.
    m_pPrivate->descriptor = 3;
    ::fcntl(m_pPrivate->descriptor, F_SETFD, FD_CLOEXEC);
    sockaddr_un address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_pPrivate->descriptor, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        m_path = address.sun_path;
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    return true;
}

std::unique_ptr<BrokerChannel> Listener::accept(SessionTable::Peer *peer)
{
    if (s_stopPipe[0] < 0)
        return nullptr;
    for (;;) {
        pollfd waiting[2] = {{m_pPrivate->descriptor, POLLIN, 0}, {s_stopPipe[0], POLLIN, 0}};
        if (::poll(waiting, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return nullptr;
        }
        if (waiting[1].revents != 0)
            return nullptr;
        const int connection = ::accept4(m_pPrivate->descriptor, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        ucred credentials{};
        socklen_t length = sizeof credentials;
        if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0) {
            peer->uid = credentials.uid;
            peer->gid = credentials.gid;
            peer->pid = credentials.pid;
            peer->command = commandOf(credentials.pid);
        }
        return BrokerChannel::adopt(connection);
    }
}

void Listener::stop()
{
    if (s_stopPipe[1] >= 0) {
        const char byte = 0;
        static_cast<void>(::write(s_stopPipe[1], &byte, 1));
    }
}

void Listener::removeSocketFile()
{
    if (m_pPrivate->madeFile)
        ::unlink(m_path.c_str());
}
