#include "StateFile.h"

namespace VelmorEmulator {

// On Windows every process keeps its default bench its own: the emulator there serves the test
// suite and trying the tools out, where a bench that starts afresh with each process is what is
// wanted. Users of real units on Windows have FTDI's driver, not this file.
std::optional<std::string> StateFile::configuredPath()
{
    return std::nullopt;
}

StateFile::StateFile(std::string path)
    : m_path(std::move(path))
{
}

std::optional<std::string> StateFile::read() const
{
    return std::nullopt;
}

bool StateFile::update(const Change &) const
{
    return false;
}

} // namespace VelmorEmulator
