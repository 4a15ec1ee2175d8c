#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

std::string nameOf(const std::string &entry)
{
    return entry.substr(0, entry.find('='));
}

std::vector<std::string> environmentWith(const std::vector<std::string> &changes)
{
    std::vector<std::string> result;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        bool replaced = false;
        for (const std::string &change : changes)
            replaced = replaced || nameOf(change) == nameOf(*entry);
        if (!replaced)
            result.emplace_back(*entry);
    }
    result.insert(result.end(), changes.begin(), changes.end());
    return result;
}

std::vector<char *> pointersTo(std::vector<std::string> &texts)
{
    std::vector<char *> pointers;
    for (std::string &text : texts)
        pointers.push_back(&text[0]);
    pointers.push_back(nullptr);
    return pointers;
}

void closeIfOpen(int *descriptor)
{
    if (*descriptor >= 0)
        ::close(*descriptor);
    *descriptor = -1;
}

} // namespace

struct ChildProcess::Running
{
    pid_t pid = -1;
    int outPipe = -1;
    int errPipe = -1;
};

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &arguments,
                         const std::vector<std::string> &environment, const std::string &input, Streams streams)
    : m_running(std::make_unique<Running>())
{
    if (streams == Streams::Terminal)
        startOnTerminal(program, arguments, environment, input);
    else
        startOnPipes(program, arguments, environment, input);
}

void ChildProcess::spawn(const std::string &program, const std::vector<std::string> &arguments,
                        const std::vector<std::string> &environment, const int childStreams[3])
{
    std::vector<std::string> argumentTexts{program};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environmentTexts = environmentWith(environment);
    std::vector<char *> argv = pointersTo(argumentTexts);
    std::vector<char *> envp = pointersTo(environmentTexts);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream = 0; stream < 3; ++stream)
        posix_spawn_file_actions_adddup2(&actions, childStreams[stream], stream);
    if (posix_spawn(&m_running->pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        m_running->pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

void ChildProcess::startOnPipes(const std::string &program, const std::vector<std::string> &arguments,
                               const std::vector<std::string> &environment, const std::string &input)
{
    int inPipe[2], outPipe[2], errPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return;
    const int childStreams[3] = {inPipe[0], outPipe[1], errPipe[1]};
    spawn(program, arguments, environment, childStreams);
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    // The inputs of these tests are far smaller than a pipe's buffer.
    if (m_running->pid > 0 && !input.empty() && ::write(inPipe[1], input.data(), input.size()) < 0)
        m_err = "(could not write the input)";
    ::close(inPipe[1]);
    m_running->outPipe = outPipe[0];
    m_running->errPipe = errPipe[0];
}

void ChildProcess::startOnTerminal(const std::string &program, const std::vector<std::string> &arguments,
                                  const std::vector<std::string> &environment, const std::string &input)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return;
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return;
    const int childStreams[3] = {slave, slave, slave};
    spawn(program, arguments, environment, childStreams);
    // Once the child has closed its side, reading the master ends with EIO.
    ::close(slave);
    // The terminal holds the lines until the shell reads them.
    if (m_running->pid > 0 && !input.empty() && ::write(master, input.data(), input.size()) < 0)
        m_err = "(could not write the input)";
    m_running->outPipe = master;
}

bool ChildProcess::started() const
{
    return m_running->pid > 0;
}

ChildProcess::~ChildProcess()
{
    if (!m_finished && m_running->pid > 0)
        ::kill(m_running->pid, SIGKILL);
    finish();
}

void ChildProcess::sendSignal(int signalNumber) const
{
    if (m_running->pid > 0)
        ::kill(m_running->pid, signalNumber);
}

void ChildProcess::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    while (readSome(-1)) {
    }
    int status = 0;
    pid_t ended = -1;
    do {
        ended = m_running->pid > 0 ? ::waitpid(m_running->pid, &status, 0) : -1;
    } while (ended < 0 && errno == EINTR);
    if (ended == m_running->pid && WIFEXITED(status))
        m_exitStatus = WEXITSTATUS(status);
}

bool ChildProcess::readSome(int timeoutMs)
{
    pollfd descriptors[2] = {{m_running->outPipe, POLLIN, 0}, {m_running->errPipe, POLLIN, 0}};
    if (m_running->outPipe < 0 && m_running->errPipe < 0)
        return false;
    if (::poll(descriptors, 2, timeoutMs) < 0)
        return errno == EINTR;
    std::string *targets[2] = {&m_out, &m_err};
    int *pipes[2] = {&m_running->outPipe, &m_running->errPipe};
    for (int i = 0; i < 2; ++i) {
        if (descriptors[i].fd < 0 || descriptors[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t count = ::read(descriptors[i].fd, buffer, sizeof buffer);
        if (count > 0)
            targets[i]->append(buffer, static_cast<size_t>(count));
        else if (count == 0 || errno != EINTR)
            closeIfOpen(pipes[i]);
    }
    return m_running->outPipe >= 0 || m_running->errPipe >= 0;
}
