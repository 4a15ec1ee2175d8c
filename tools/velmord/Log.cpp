#include "Log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace {

std::atomic<bool> s_verbose{false};
std::mutex s_mutex;

} // namespace

namespace Log {

void setVerbose(bool verbose)
{
    s_verbose = verbose;
}

bool verbose()
{
    return s_verbose;
}

void line(const std::string &text)
{
    std::lock_guard<std::mutex> guard(s_mutex);
    std::fprintf(stderr, "velmord: %s\n", text.c_str());
    std::fflush(stderr);
}

void detail(const std::string &text)
{
    if (s_verbose)
        line(text);
}

} // namespace Log
