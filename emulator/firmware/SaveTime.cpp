#include "SaveTime.h"

#include <algorithm>
#include <chrono>
#include <fstream>

namespace velmor_firmware {

namespace {

template <typename SourceClock>
int64_t microsecondsOf()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(SourceClock::now().time_since_epoch()).count();
}

// The kernel draws a new one at every boot; the steady clock restarts with it.
std::string currentBootId()
{
    std::ifstream file("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(file, id);
    return id;
}

} // namespace

SaveTime SaveTime::now()
{
    static const std::string s_bootId = currentBootId();
    SaveTime time;
    time.wallMicroseconds = microsecondsOf<std::chrono::system_clock>();
    time.steadyMicroseconds = microsecondsOf<std::chrono::steady_clock>();
    time.bootId = s_bootId;
    return time;
}

int64_t SaveTime::microsecondsUntil(const SaveTime &later) const
{
    const bool sameBoot = !bootId.empty() && bootId == later.bootId;
    const int64_t passed = sameBoot ? later.steadyMicroseconds - steadyMicroseconds
                                    : later.wallMicroseconds - wallMicroseconds;
    return std::max<int64_t>(0, passed);
}

} // namespace velmor_firmware
