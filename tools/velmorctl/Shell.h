// velmorctl shell: commands from standard input, one or more per line, in one library
// session. A line that fails ends only itself.
#ifndef VELMORCTL_SHELL_H
#define VELMORCTL_SHELL_H

#include <istream>
#include <string>
#include <vector>

class Runner;

class Shell
{
public:
    Shell(Runner &runner, bool json);

    // 0 when every line ran, else the exit status of the last line that failed.
    int run(std::istream &input);

private:
    void prompt() const;

    Runner &m_runner;
    bool m_json;
    bool m_interactive;
};

#endif
