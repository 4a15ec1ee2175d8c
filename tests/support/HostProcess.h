// Another process, started from a test: its program, arguments and the changes to the test's
// environment it runs with, and everything it writes to its standard output.
#ifndef VELMOR_TESTS_HOSTPROCESS_H
#define VELMOR_TESTS_HOSTPROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

class HostProcess
{
public:
    // `environment`: "NAME=value" entries that replace or add to the test's own.
    HostProcess(const std::string &program, const std::vector<std::string> &arguments,
                const std::vector<std::string> &environment);
    ~HostProcess();
    HostProcess(const HostProcess &) = delete;
    HostProcess &operator=(const HostProcess &) = delete;

    bool started() const { return m_pid > 0; }
    // Waits for the end; its output. exitCode() is -1 when it did not end normally.
    std::string finish();
    int exitCode() const { return m_exitCode; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_exitCode = -1;
    bool m_finished = false;
    std::string m_text;
};

#endif
