// A program a test runs as a process of its own (velmorctl, a host program): its arguments,
// the changes to its environment and its standard input; what it writes to standard output and
// standard error, and how it ended.
#ifndef VELMOR_TESTS_CHILDPROCESS_H
#define VELMOR_TESTS_CHILDPROCESS_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

class ChildProcess
{
public:
    // Pipes: standard input, output and error each a pipe of its own. Terminal (POSIX only): all
    // three on one pseudo-terminal, whose output (standard output and error as a terminal shows
    // them, with the echo of the input) is out().
    enum class Streams { Pipes, Terminal };

    // environment: "NAME=value" entries that replace or add to the test's own.
    ChildProcess(const std::string &program, const std::vector<std::string> &arguments,
                const std::vector<std::string> &environment, const std::string &input = std::string(),
                Streams streams = Streams::Pipes);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const;
    // Reads the output while the process runs until standard error holds text; false when the
    // process ended or the time ran out first.
    bool waitForError(const std::string &text, std::chrono::milliseconds timeout);
    // POSIX only: Windows has no signals to send to a console program from outside.
    void sendSignal(int signalNumber) const;
    // Reads everything to the end and waits for the process.
    void finish();

    const std::string &out() const { return m_out; }
    const std::string &err() const { return m_err; }
    // The exit status; -1 when the process did not exit normally.
    int exitStatus() const { return m_exitStatus; }

private:
    // The platform's process and its streams.
    struct Running;

    void spawn(const std::string &program, const std::vector<std::string> &arguments,
               const std::vector<std::string> &environment, const int childStreams[3]);
    void startOnPipes(const std::string &program, const std::vector<std::string> &arguments,
                      const std::vector<std::string> &environment, const std::string &input);
    void startOnTerminal(const std::string &program, const std::vector<std::string> &arguments,
                         const std::vector<std::string> &environment, const std::string &input);
    // One round of reading whatever is ready; false once both streams are closed.
    bool readSome(int timeoutMs);

    std::unique_ptr<Running> m_running;
    bool m_finished = false;
    int m_exitStatus = -1;
    std::string m_out;
    std::string m_err;
};

#endif
