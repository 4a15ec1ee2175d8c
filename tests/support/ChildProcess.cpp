#include "ChildProcess.h"

bool ChildProcess::waitForError(const std::string &text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_err.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline || !readSome(20))
            return m_err.find(text) != std::string::npos;
    }
    return true;
}
