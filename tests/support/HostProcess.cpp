#include "HostProcess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace

HostProcess::HostProcess(const std::string &program, const std::vector<std::string> &arguments,
                         const std::vector<std::string> &environment)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> argumentTexts{program};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environmentTexts = environmentWith(environment);
    std::vector<char *> argv = pointersTo(argumentTexts);
    std::vector<char *> envp = pointersTo(environmentTexts);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    m_output = pipeEnds[0];
}

HostProcess::~HostProcess()
{
    finish();
}

std::string HostProcess::finish()
{
    if (m_finished)
        return m_text;
    m_finished = true;
    char buffer[4096];
    for (;;) {
        const ssize_t count = m_output >= 0 ? ::read(m_output, buffer, sizeof buffer) : 0;
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        m_text.append(buffer, static_cast<size_t>(count));
    }
    if (m_output >= 0)
        ::close(m_output);
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status))
        m_exitCode = WEXITSTATUS(status);
    return m_text;
}
