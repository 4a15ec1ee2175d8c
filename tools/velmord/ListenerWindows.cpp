#include "Listener.h"

#include <windows.h>

#include <sddl.h>

#include <atomic>

// One pipe instance at a time waits for a client. accept() waits for it (an overlapped
// ConnectNamedPipe, so that stop() can end the wait) and, once a client is there, makes the next
// instance before it hands the connected one out: the pipe's name never goes away while velmord
// runs, so a client that comes in between finds the pipe busy for a moment (and waits), never
// missing (and going direct). A new instance takes a client before anyone waits on it; the wait
// starts in the accept() that waits, since Windows cancels a thread's I/O when the thread ends.

namespace {

constexpr char kPipePrefix[] = "\\\\.\\pipe\\";
constexpr DWORD kBufferSize = 64 * 1024;
// How long a failed instance is waited out before the next try.
constexpr DWORD kRetryMs = 1000;

// Set by stop(): made once, before any handler that calls stop() is installed, and never closed.
std::atomic<HANDLE> s_stopped{nullptr};

HANDLE stopEvent()
{
    HANDLE event = s_stopped.load();
    if (event == nullptr) {
        HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!s_stopped.compare_exchange_strong(event, made))
            CloseHandle(made);
        else
            event = made;
    }
    return event;
}

std::string narrow(const std::wstring &text)
{
    if (text.empty())
        return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string result(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &result[0], length, nullptr, nullptr);
    return result;
}

std::wstring wide(const std::string &text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &result[0], length);
    return result;
}

std::string errorText(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
    if (text != nullptr)
        LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : narrow(message) + " (error " + std::to_string(error) + ")";
}

// The pipe's path for what --socket gave: a bare name, or a local pipe's path as it is.
std::string pipePathOf(const std::string &given)
{
    if (given.size() > sizeof kPipePrefix - 1
        && CompareStringOrdinal(wide(given.substr(0, sizeof kPipePrefix - 1)).c_str(), -1,
                                wide(kPipePrefix).c_str(), -1, TRUE)
               == CSTR_EQUAL)
        return kPipePrefix + given.substr(sizeof kPipePrefix - 1);
    return kPipePrefix + given;
}

// The SID of the user this process runs as, in its string form; "" when it cannot be read.
std::wstring userSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::wstring();
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    std::wstring result;
    if (size > 0 && GetTokenInformation(token, TokenUser, &buffer[0], size, &size)) {
        wchar_t *text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(&buffer[0])->User.Sid, &text)) {
            result = text;
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return result;
}

// The image name of a process ("velmorctl.exe"); "" when it cannot be read.
std::string imageNameOf(DWORD pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr)
        return std::string();
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    std::wstring image;
    if (QueryFullProcessImageNameW(process, 0, path, &length))
        image.assign(path, length);
    CloseHandle(process);
    const size_t slash = image.find_last_of(L"\\/");
    return narrow(slash == std::wstring::npos ? image : image.substr(slash + 1));
}

} // namespace

struct Listener::Private
{
    ~Private()
    {
        closeWaiting();
        if (descriptor != nullptr)
            LocalFree(descriptor);
        if (connected != nullptr)
            CloseHandle(connected);
    }

    // Makes the next instance; false with GetLastError() set when that fails. The first one
    // claims the name: it fails when the pipe exists.
    bool makeWaiting(bool first)
    {
        SECURITY_ATTRIBUTES security{};
        security.nLength = sizeof security;
        security.lpSecurityDescriptor = descriptor;
        const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        const DWORD pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
        waiting = CreateNamedPipeW(name.c_str(), openMode, pipeMode, PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize,
                                   0, &security);
        return waiting != INVALID_HANDLE_VALUE;
    }

    enum class Start { Waiting, Connected, Gone };
    // Starts the waiting instance's wait for a client.
    Start startWaiting()
    {
        ResetEvent(connected);
        overlapped = OVERLAPPED{};
        overlapped.hEvent = connected;
        if (ConnectNamedPipe(waiting, &overlapped))
            return Start::Connected;
        switch (GetLastError()) {
        case ERROR_IO_PENDING:
            connectPending = true;
            return Start::Waiting;
        case ERROR_PIPE_CONNECTED:
            return Start::Connected;
        default:
            // ERROR_NO_DATA: a client came and went before the wait.
            return Start::Gone;
        }
    }

    // Ends the waiting instance's wait, if one runs, and closes it.
    void closeWaiting()
    {
        if (waiting == INVALID_HANDLE_VALUE)
            return;
        if (connectPending) {
            CancelIoEx(waiting, &overlapped);
            DWORD ignored = 0;
            GetOverlappedResult(waiting, &overlapped, &ignored, TRUE);
            connectPending = false;
        }
        CloseHandle(waiting);
        waiting = INVALID_HANDLE_VALUE;
    }

    std::wstring name;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    HANDLE connected = nullptr;
    HANDLE waiting = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    bool connectPending = false;
};

const char *const Listener::kPlaceHelp =
    "  --socket NAME  listen on the named pipe NAME, or \\\\.\\pipe\\NAME (default:\n"
    "                 \\\\.\\pipe\\velmord)\n";

Listener::Listener()
    : m_pPrivate(std::make_unique<Private>())
{
}

Listener::~Listener() = default;

std::string Listener::defaultPath()
{
    return std::string(kPipePrefix) + "velmord";
}

bool Listener::listenAt(const std::string &path, std::string *error)
{
    const std::string pipe = pipePathOf(path);
    const std::string name = pipe.substr(sizeof kPipePrefix - 1);
    if (name.empty() || name.find('\\') != std::string::npos || pipe.size() > 256) {
        *error = "not a pipe name: " + path;
        return false;
    }
    if (stopEvent() == nullptr) {
        *error = "cannot listen on " + pipe + ": " + errorText(GetLastError());
        return false;
    }
    Private &d = *m_pPrivate;
    // Only the user velmord runs as and Administrators may connect (or make instances).
    const std::wstring sid = userSid();
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")(A;;GA;;;BA)";
    if (sid.empty()
        || !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &d.descriptor, nullptr)) {
        *error = "cannot listen on " + pipe + ": no access rules for this user: " + errorText(GetLastError());
        return false;
    }
    // Windows refuses a first instance of a pipe that exists; Wine makes one regardless, so the
    // pipe is asked first.
    if (BrokerChannel::mayListen(pipe)) {
        *error = "another velmord (or another program) already listens on " + pipe;
        return false;
    }
    d.connected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    d.name = wide(pipe);
    if (d.connected == nullptr || !d.makeWaiting(true)) {
        const DWORD failure = GetLastError();
        // A pipe of that name exists: velmord, or a program that took its name.
        *error = failure == ERROR_ACCESS_DENIED || failure == ERROR_PIPE_BUSY
                     ? "another velmord (or another program) already listens on " + pipe
                     : "cannot listen on " + pipe + ": " + errorText(failure);
        return false;
    }
    m_path = pipe;
    return true;
}

bool Listener::adoptActivated()
{
    return false;
}

std::unique_ptr<BrokerChannel> Listener::accept(SessionTable::Peer *peer)
{
    Private &d = *m_pPrivate;
    const HANDLE stopped = s_stopped.load();
    if (stopped == nullptr || d.connected == nullptr)
        return nullptr;
    while (WaitForSingleObject(stopped, 0) == WAIT_TIMEOUT) {
        if (d.waiting == INVALID_HANDLE_VALUE && !d.makeWaiting(false)) {
            WaitForSingleObject(stopped, kRetryMs);
            continue;
        }
        bool clientThere = false;
        switch (d.startWaiting()) {
        case Private::Start::Connected:
            clientThere = true;
            break;
        case Private::Start::Gone:
            break;
        case Private::Start::Waiting: {
            const HANDLE events[2] = {stopped, d.connected};
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                d.closeWaiting();
                return nullptr;
            }
            DWORD ignored = 0;
            clientThere = GetOverlappedResult(d.waiting, &d.overlapped, &ignored, FALSE);
            d.connectPending = false;
            break;
        }
        }
        const HANDLE connection = d.waiting;
        d.waiting = INVALID_HANDLE_VALUE;
        // The next instance first (see above); should that fail, the next accept() tries again.
        d.makeWaiting(false);
        if (!clientThere) {
            // A client that came and went before its connection was taken.
            CloseHandle(connection);
            continue;
        }
        ULONG pid = 0;
        if (GetNamedPipeClientProcessId(connection, &pid)) {
            peer->pid = pid;
            // Windows has no uid: the Windows session the client runs in stands for it, so that
            // a session token is good only in the Windows session that made it.
            DWORD session = 0;
            if (ProcessIdToSessionId(pid, &session))
                peer->uid = session;
            peer->command = imageNameOf(pid);
        }
        return BrokerChannel::adopt(reinterpret_cast<intptr_t>(connection));
    }
    return nullptr;
}

void Listener::stop()
{
    const HANDLE stopped = s_stopped.load();
    if (stopped != nullptr)
        SetEvent(stopped);
}

void Listener::removeSocketFile()
{
}
