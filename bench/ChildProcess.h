// Programs a benchmark starts beside itself (velmord, client processes): started with their own
// environment, talked to line by line over pipes, and always stopped again, whether the benchmark
// ends, fails or is interrupted. A child is asked to stop with SIGTERM and killed when it does not
// within its grace time; it gets SIGTERM too when this process dies without stopping it.
#ifndef VELMOR_BENCH_CHILDPROCESS_H
#define VELMOR_BENCH_CHILDPROCESS_H

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Runs command[0] (a path) with the rest as its arguments and `environment` ("NAME=value") as
    // its whole environment. With `pipes` its standard input and output are pipes to this
    // process; its standard error goes to `errorFile` when one is named. False when it could not
    // be started.
    bool start(const std::vector<std::string> &command, const std::vector<std::string> &environment, bool pipes,
               const std::string &errorFile = std::string());

    // One line of the child's output without its newline, waiting up to `timeoutMs`; nothing when
    // the child closed its output or wrote no whole line in time.
    std::optional<std::string> readLine(int timeoutMs);
    bool writeLine(const std::string &line);
    // The child sees the end of its input.
    void closeInput();

    // Whether it still runs; once it has ended, exitStatus() tells how (waitpid's status).
    bool running();
    // Waits up to `timeoutMs` for the child to end by itself; true when it has.
    bool waitForExit(int timeoutMs);
    int exitStatus() const { return m_status; }
    pid_t pid() const { return m_pid; }

    // Closes its input, sends SIGTERM and waits up to `graceMs`, then kills it. Returns waitpid's
    // status, or -1 when nothing ran.
    int stop(int graceMs = 5000);

    // The environment of this process with NAME set to `value` (added when missing).
    static std::vector<std::string> environmentWith(const std::string &name, const std::string &value);
    // On SIGINT, SIGTERM and SIGHUP, every child still running is stopped before this process
    // ends; `cleanup` (async-signal-safe) runs after that.
    static void stopChildrenOnSignals(void (*cleanup)());

private:
    void closePipes();

    pid_t m_pid = -1;
    int m_status = -1;
    int m_in = -1;   // our end of the child's standard input
    int m_out = -1;  // our end of the child's standard output
    std::string m_buffer;
};

#endif
