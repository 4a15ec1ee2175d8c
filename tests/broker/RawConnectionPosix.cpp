#include "RawConnection.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

RawConnection::RawConnection(const std::string &address)
    : m_handle(-1)
{
    sockaddr_un socketAddress{};
    if (address.size() >= sizeof socketAddress.sun_path)
        return;
    socketAddress.sun_family = AF_UNIX;
    std::memcpy(socketAddress.sun_path, address.c_str(), address.size() + 1);
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor >= 0
        && ::connect(descriptor, reinterpret_cast<const sockaddr *>(&socketAddress), sizeof socketAddress) == 0)
        m_handle = descriptor;
    else if (descriptor >= 0)
        ::close(descriptor);
}

RawConnection::~RawConnection()
{
    close();
}

bool RawConnection::connected() const
{
    return m_handle >= 0;
}

bool RawConnection::write(const std::string &bytes)
{
    return connected() && ::send(int(m_handle), bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

void RawConnection::close()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
    m_handle = -1;
}

std::string RawConnection::freshAddress(const std::string &folder)
{
    static std::atomic<int> s_count{0};
    return folder + "/velmord-" + std::to_string(++s_count) + ".sock";
}

std::string RawConnection::accessOf(const std::string &address)
{
    struct stat status {};
    if (::stat(address.c_str(), &status) != 0)
        return std::string();
    char octal[8];
    std::snprintf(octal, sizeof octal, "%o", unsigned(status.st_mode & 0777));
    return octal;
}

std::string RawConnection::expectedAccess()
{
    return "660";
}
