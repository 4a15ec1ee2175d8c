#include "Diagnostics.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace VelmorEmulator {

namespace {

std::mutex s_mutex;
std::vector<std::string> s_reported;

} // namespace

void Diagnostics::report(const std::string &message)
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    if (std::find(s_reported.begin(), s_reported.end(), message) != s_reported.end())
        return;
    s_reported.push_back(message);
    std::fprintf(stderr, "velmor emulator: %s\n", message.c_str());
    std::fflush(stderr);
}

std::vector<std::string> Diagnostics::reported()
{
    const std::lock_guard<std::mutex> lock(s_mutex);
    return s_reported;
}

} // namespace VelmorEmulator
