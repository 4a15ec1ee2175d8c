#include "StateFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VelmorEmulator {

namespace {

// Closes a descriptor however the scope is left.
struct Descriptor
{
    explicit Descriptor(int descriptor) : value(descriptor) {}
    ~Descriptor()
    {
        if (value >= 0)
            ::close(value);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int value;
};

bool writeAll(int descriptor, const std::string &text)
{
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<size_t>(count);
    }
    return true;
}

std::string directoryOfThisLibrary()
{
    Dl_info info;
    std::memset(&info, 0, sizeof info);
    if (::dladdr(reinterpret_cast<const void *>(&directoryOfThisLibrary), &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    const std::string file = info.dli_fname;
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

} // namespace

std::optional<std::string> StateFile::configuredPath()
{
    const char *variable = std::getenv(s_variable);
    if (variable != nullptr && *variable != '\0') {
        if (::strcasecmp(variable, "off") == 0)
            return std::nullopt;
        return std::string(variable);
    }
    const std::string directory = directoryOfThisLibrary();
    if (directory.empty())
        return std::nullopt;
    return directory + "/" + s_fileName;
}

StateFile::StateFile(std::string path)
    : m_path(std::move(path))
{
}

std::optional<std::string> StateFile::read() const
{
    Descriptor lockFile(lock());
    if (lockFile.value < 0)
        return std::nullopt;
    return readUnlocked();
}

bool StateFile::update(const Change &change) const
{
    Descriptor lockFile(lock());
    if (lockFile.value < 0)
        return false;
    const std::optional<std::string> text = change(readUnlocked());
    return !text || replaceUnlocked(*text);
}

// The lock goes with the descriptor: closing it, or the process ending, releases it.
int StateFile::lock() const
{
    const std::string lockPath = m_path + ".lock";
    const int descriptor = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        m_problem = lockPath + ": " + std::strerror(errno);
        return -1;
    }
    int locked;
    do {
        locked = ::flock(descriptor, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        m_problem = lockPath + ": " + std::strerror(errno);
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

std::optional<std::string> StateFile::readUnlocked() const
{
    Descriptor file(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status;
    if (file.value < 0 || ::fstat(file.value, &status) != 0 || !S_ISREG(status.st_mode)
        || static_cast<uint64_t>(status.st_size) > s_largestText)
        return std::nullopt;
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(file.value, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            return text;
        text.append(buffer, static_cast<size_t>(count));
        if (text.size() > s_largestText)
            return std::nullopt;
    }
}

bool StateFile::replaceUnlocked(const std::string &text) const
{
    const std::string aside = m_path + "." + std::to_string(::getpid()) + ".new";
    ::unlink(aside.c_str());
    bool written;
    {
        Descriptor file(::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        written = file.value >= 0 && writeAll(file.value, text);
        if (file.value >= 0 && ::close(file.value) != 0)
            written = false;
        file.value = -1;
    }
    if (!written)
        m_problem = aside + ": " + std::strerror(errno);
    else if (::rename(aside.c_str(), m_path.c_str()) == 0)
        return true;
    else
        m_problem = m_path + ": " + std::strerror(errno);
    ::unlink(aside.c_str());
    return false;
}

} // namespace VelmorEmulator
