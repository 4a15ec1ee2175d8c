#include "BrokerChannel.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

// A local named pipe in byte mode, opened for overlapped I/O so that a read can give up at its
// deadline: the read is started, waited for with the time left, and cancelled when it runs out.
// A peer that closes its end fails the pending read with ERROR_BROKEN_PIPE at once.

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kPipePrefix[] = L"\\\\.\\pipe\\";
constexpr size_t kPipePrefixLength = sizeof kPipePrefix / sizeof kPipePrefix[0] - 1;
// The longest pipe path Windows takes.
constexpr size_t kLongestPipePath = 256;
// How long connectTo waits while every instance of the pipe is taken: velmord makes the next
// one as soon as a client connects, so this is only a moment.
constexpr int kBusyWaitMs = 2000;

std::wstring wide(const std::string &text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), &result[0], length);
    return result;
}

// The path as a local pipe's, `\\.\pipe\NAME` with a NAME of its own and no further folder;
// "" for anything else. Only such a path is ever opened: VELMOR_BROKER naming a file, a device
// or another machine's pipe must not have the library write its calls there.
std::wstring localPipePath(const std::string &path)
{
    const std::wstring name = wide(path);
    if (name.size() <= kPipePrefixLength || name.size() > kLongestPipePath)
        return std::wstring();
    if (CompareStringOrdinal(name.c_str(), int(kPipePrefixLength), kPipePrefix, int(kPipePrefixLength), TRUE)
        != CSTR_EQUAL)
        return std::wstring();
    if (name.find(L'\\', kPipePrefixLength) != std::wstring::npos || name.find(L'\0') != std::wstring::npos)
        return std::wstring();
    return name;
}

DWORD millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // INFINITE is one above the largest finite wait.
    return left <= 0 ? 0 : DWORD(std::min<long long>(left, INFINITE - 1));
}

class WindowsBrokerChannel : public BrokerChannel
{
public:
    explicit WindowsBrokerChannel(HANDLE pipe)
        : m_pipe(pipe)
        , m_readDone(CreateEventW(nullptr, TRUE, FALSE, nullptr))
        , m_writeDone(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~WindowsBrokerChannel() override
    {
        CloseHandle(m_pipe);
        if (m_readDone != nullptr)
            CloseHandle(m_readDone);
        if (m_writeDone != nullptr)
            CloseHandle(m_writeDone);
    }
    WindowsBrokerChannel(const WindowsBrokerChannel &) = delete;
    WindowsBrokerChannel &operator=(const WindowsBrokerChannel &) = delete;

    bool usable() const { return m_readDone != nullptr && m_writeDone != nullptr; }

    bool send(const BrokerMessage &message) override
    {
        const std::string bytes = message.encode();
        size_t sent = 0;
        while (sent < bytes.size()) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = m_writeDone;
            DWORD written = 0;
            if (!WriteFile(m_pipe, bytes.data() + sent, DWORD(bytes.size() - sent), &written, &overlapped)) {
                if (GetLastError() != ERROR_IO_PENDING)
                    return false;
                // As a socket's send: waits while the pipe is full; a peer that closes ends it.
                if (!GetOverlappedResult(m_pipe, &overlapped, &written, TRUE))
                    return false;
            }
            if (written == 0)
                return false;
            sent += written;
        }
        return true;
    }

protected:
    Failure readExactly(char *out, size_t count, Clock::time_point deadline) override
    {
        size_t got = 0;
        while (got < count) {
            const DWORD left = millisecondsUntil(deadline);
            if (left == 0)
                return Failure::TimedOut;
            OVERLAPPED overlapped{};
            overlapped.hEvent = m_readDone;
            DWORD read = 0;
            if (!ReadFile(m_pipe, out + got, DWORD(count - got), &read, &overlapped)) {
                if (GetLastError() != ERROR_IO_PENDING)
                    return Failure::Closed;
                if (WaitForSingleObject(m_readDone, left) != WAIT_OBJECT_0) {
                    // The read must be over before `overlapped` and `out` go; it may have
                    // finished meanwhile, and then its bytes count.
                    CancelIoEx(m_pipe, &overlapped);
                    if (!GetOverlappedResult(m_pipe, &overlapped, &read, TRUE))
                        return GetLastError() == ERROR_OPERATION_ABORTED ? Failure::TimedOut : Failure::Closed;
                } else if (!GetOverlappedResult(m_pipe, &overlapped, &read, FALSE)) {
                    return Failure::Closed;
                }
            }
            // A read of nothing is a peer's empty write, not its end (that fails the read).
            got += read;
        }
        return Failure::None;
    }

    HANDLE m_pipe;
    HANDLE m_readDone;
    HANDLE m_writeDone;
};

std::unique_ptr<BrokerChannel> channelOn(HANDLE pipe)
{
    auto channel = std::make_unique<WindowsBrokerChannel>(pipe);
    if (!channel->usable())
        return nullptr;
    return channel;
}

} // namespace

std::unique_ptr<BrokerChannel> BrokerChannel::connectTo(const std::string &path)
{
    const std::wstring name = localPipePath(path);
    if (name.empty())
        return nullptr;
    const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(kBusyWaitMs);
    for (;;) {
        // Identification only: the server may learn who connects, never act as the client.
        const HANDLE pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) {
            if (GetFileType(pipe) != FILE_TYPE_PIPE) {
                CloseHandle(pipe);
                return nullptr;
            }
            return channelOn(pipe);
        }
        if (GetLastError() != ERROR_PIPE_BUSY)
            return nullptr;
        const DWORD left = millisecondsUntil(giveUp);
        if (left == 0)
            return nullptr;
        // Fails at once when the pipe went away meanwhile; CreateFileW then says so.
        WaitNamedPipeW(name.c_str(), left);
    }
}

std::unique_ptr<BrokerChannel> BrokerChannel::adopt(intptr_t handle)
{
    const auto pipe = reinterpret_cast<HANDLE>(handle);
    if (pipe == nullptr || pipe == INVALID_HANDLE_VALUE)
        return nullptr;
    return channelOn(pipe);
}

bool BrokerChannel::mayListen(const std::string &path)
{
    const std::wstring name = localPipePath(path);
    if (name.empty())
        return false;
    // Waits 1 ms at most (0 would be the pipe's own default wait), and connects nothing: true
    // when an instance waits for a client; a pipe whose instances are all taken times out, and
    // one that does not exist fails at once.
    if (WaitNamedPipeW(name.c_str(), 1))
        return true;
    return GetLastError() == ERROR_SEM_TIMEOUT;
}

std::string BrokerChannel::defaultPath()
{
    const std::string pipe = "\\\\.\\pipe\\velmord";
    return mayListen(pipe) ? pipe : std::string();
}
