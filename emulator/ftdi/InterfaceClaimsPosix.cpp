#include "InterfaceClaims.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace VelmorEmulator {

namespace {

// Open file description locks: held by the descriptor, not the process, so that each
// interface's claim comes and goes with its own descriptor.
struct flock byteOf(uint64_t key, short type)
{
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(key);
    lock.l_len = 1;
    return lock;
}

} // namespace

InterfaceClaims::InterfaceClaims(std::string path)
    : m_path(std::move(path))
{
}

InterfaceClaims::~InterfaceClaims()
{
    for (const auto &claim : m_descriptors)
        ::close(claim.second);
}

bool InterfaceClaims::claim(uint64_t key)
{
    if (m_descriptors.count(key) != 0)
        return true;
    const int descriptor = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return true;
    struct flock lock = byteOf(key, F_WRLCK);
    if (::fcntl(descriptor, F_OFD_SETLK, &lock) != 0) {
        const bool heldElsewhere = errno == EAGAIN || errno == EACCES;
        ::close(descriptor);
        return !heldElsewhere;
    }
    m_descriptors[key] = descriptor;
    return true;
}

void InterfaceClaims::release(uint64_t key)
{
    const auto found = m_descriptors.find(key);
    if (found == m_descriptors.end())
        return;
    ::close(found->second);
    m_descriptors.erase(found);
}

bool InterfaceClaims::isClaimedElsewhere(uint64_t key) const
{
    if (m_descriptors.count(key) != 0)
        return false;
    const int descriptor = ::open(m_path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct flock lock = byteOf(key, F_WRLCK);
    const bool claimed = ::fcntl(descriptor, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(descriptor);
    return claimed;
}

} // namespace VelmorEmulator
