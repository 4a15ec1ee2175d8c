#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

// The children running, for the signal handler; 0 marks a free place.
constexpr int kMostChildren = 64;
volatile sig_atomic_t s_running[kMostChildren] = {};
void (*volatile s_cleanup)() = nullptr;

void remember(pid_t pid)
{
    for (volatile sig_atomic_t &place : s_running) {
        if (place == 0) {
            place = static_cast<sig_atomic_t>(pid);
            return;
        }
    }
}

void forget(pid_t pid)
{
    for (volatile sig_atomic_t &place : s_running) {
        if (place == static_cast<sig_atomic_t>(pid))
            place = 0;
    }
}

void sleepMs(long milliseconds)
{
    struct timespec pause = {0, milliseconds * 1000000L};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// Only async-signal-safe calls: stop every child (SIGTERM, up to 3 s, then SIGKILL), clean up,
// then end as the signal would have.
extern "C" void onSignal(int signal)
{
    for (volatile sig_atomic_t &place : s_running) {
        if (place != 0)
            ::kill(static_cast<pid_t>(place), SIGTERM);
    }
    for (int waited = 0; waited < 300; ++waited) {
        bool left = false;
        for (volatile sig_atomic_t &place : s_running) {
            if (place != 0 && ::waitpid(static_cast<pid_t>(place), nullptr, WNOHANG) == 0)
                left = true;
            else
                place = 0;
        }
        if (!left)
            break;
        sleepMs(10);
    }
    for (volatile sig_atomic_t &place : s_running) {
        if (place != 0) {
            ::kill(static_cast<pid_t>(place), SIGKILL);
            ::waitpid(static_cast<pid_t>(place), nullptr, 0);
            place = 0;
        }
    }
    if (s_cleanup != nullptr)
        s_cleanup();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ChildProcess::~ChildProcess()
{
    stop();
}

bool ChildProcess::start(const std::vector<std::string> &command, const std::vector<std::string> &environment, bool pipes,
                         const std::string &errorFile)
{
    if (m_pid > 0 || command.empty())
        return false;
    // Everything the child needs is made before the fork: between fork and exec it calls only
    // what is safe in a copy of a process with threads.
    std::vector<char *> arguments;
    for (const std::string &word : command)
        arguments.push_back(const_cast<char *>(word.c_str()));
    arguments.push_back(nullptr);
    std::vector<char *> variables;
    for (const std::string &variable : environment)
        variables.push_back(const_cast<char *>(variable.c_str()));
    variables.push_back(nullptr);

    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (pipes && (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)) {
        closeFd(toChild[0]);
        closeFd(toChild[1]);
        return false;
    }
    int errorFd = -1;
    if (!errorFile.empty())
        errorFd = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // SIGTERM when this process ends before stopping the child (killed, crashed).
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        if (pipes && (::dup2(toChild[0], STDIN_FILENO) < 0 || ::dup2(fromChild[1], STDOUT_FILENO) < 0))
            ::_exit(127);
        if (errorFd >= 0 && ::dup2(errorFd, STDERR_FILENO) < 0)
            ::_exit(127);
        ::execve(arguments[0], arguments.data(), variables.data());
        ::_exit(127);
    }
    closeFd(errorFd);
    if (pipes) {
        ::close(toChild[0]);
        ::close(fromChild[1]);
    }
    if (pid < 0) {
        if (pipes) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
        }
        return false;
    }
    m_pid = pid;
    m_status = -1;
    remember(pid);
    if (pipes) {
        m_in = toChild[1];
        m_out = fromChild[0];
    }
    m_buffer.clear();
    return true;
}

std::optional<std::string> ChildProcess::readLine(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t newline = m_buffer.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_buffer.substr(0, newline);
            m_buffer.erase(0, newline + 1);
            return line;
        }
        if (m_out < 0)
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        struct pollfd readable = {m_out, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char chunk[512];
        const ssize_t got = ::read(m_out, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            closeFd(m_out);
            return std::nullopt;
        }
        m_buffer.append(chunk, static_cast<size_t>(got));
    }
}

bool ChildProcess::writeLine(const std::string &line)
{
    if (m_in < 0)
        return false;
    const std::string text = line + "\n";
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(m_in, text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        written += static_cast<size_t>(put);
    }
    return true;
}

void ChildProcess::closeInput()
{
    closeFd(m_in);
}

void ChildProcess::closePipes()
{
    closeFd(m_in);
    closeFd(m_out);
}

bool ChildProcess::running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    const pid_t ended = ::waitpid(m_pid, &status, WNOHANG);
    if (ended == 0)
        return true;
    forget(m_pid);
    m_status = ended == m_pid ? status : -1;
    m_pid = -1;
    return false;
}

bool ChildProcess::waitForExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int ChildProcess::stop(int graceMs)
{
    closeInput();
    if (running()) {
        ::kill(m_pid, SIGTERM);
        if (!waitForExit(graceMs)) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            forget(m_pid);
            m_status = status;
            m_pid = -1;
        }
    }
    closePipes();
    return m_status;
}

std::vector<std::string> ChildProcess::environmentWith(const std::string &name, const std::string &value)
{
    std::vector<std::string> environment;
    const std::string prefix = name + "=";
    for (char **variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, prefix.c_str(), prefix.size()) != 0)
            environment.emplace_back(*variable);
    }
    environment.push_back(prefix + value);
    return environment;
}

void ChildProcess::stopChildrenOnSignals(void (*cleanup)())
{
    s_cleanup = cleanup;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, onSignal);
}
