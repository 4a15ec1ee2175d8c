// A soak of the library on the emulator: threads call the exports on their units for a while, and
// every interval the process prints its resident memory, its open descriptors, the D2XX handles
// the emulator has open and the result codes of the calls made in that interval.
//
//   velmor_soak --threads N --seconds S [--units 1,2] [--interval S] [--held]
//   velmor_soak --calls N [--warmup N] [--units 1] [--held]
//   velmor_soak --count          (the number of supported units)
//
// The first form is what scripts/soak.sh runs in each of its processes. The second makes N calls
// on one unit after a warm-up that fills the emulator's logs, and prints the resident memory
// before and after: its growth is what a long session costs.
#include "VelmorEmulator.h"
#include "VelmorLibExtras.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Options
{
    int threads = 1;
    double seconds = 60;
    double interval = 60;
    std::vector<int32_t> units{1};
    bool held = false;
    bool countOnly = false;
    long calls = 0;
    long warmup = 10000;
};

// Calls that succeed on every unit whatever state another call left it in.
int32_t callNumber(int32_t unit, unsigned long n)
{
    int32_t position = 0;
    int32_t count = 0;
    uint8_t ready = 0;
    VelmorMotorStatus status = {};
    status.size = sizeof status;
    switch (n % 6) {
    case 0: return getAbsolutePosition(unit, &position);
    case 1: return isMotorReady(unit, &ready);
    case 2: return setMotorSpeed(unit, 800 + static_cast<int32_t>(n % 100), 2);
    case 3: return velmorGetMotorStatus(unit, &status);
    case 4: return motorOn(unit);
    default: return getDeviceCount(&count);
    }
}

long residentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int openDescriptors()
{
    DIR *folder = ::opendir("/proc/self/fd");
    if (folder == nullptr)
        return -1;
    int count = 0;
    while (const dirent *entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.')
            ++count;
    }
    ::closedir(folder);
    return count - 1; // the folder's own descriptor
}

class CodeCounts
{
public:
    void add(int32_t code)
    {
        const size_t slot = code >= 0 && code < static_cast<int32_t>(s_slots) - 1 ? static_cast<size_t>(code) : s_slots - 1;
        m_counts[slot].fetch_add(1, std::memory_order_relaxed);
    }

    // "0:1200 3:2" for the interval since the last call; the total and the failures beside it.
    std::string takeText(unsigned long *total, unsigned long *failed)
    {
        std::string text;
        *total = 0;
        *failed = 0;
        for (size_t code = 0; code < s_slots; ++code) {
            const unsigned long count = m_counts[code].exchange(0);
            if (count == 0)
                continue;
            *total += count;
            if (code != 0)
                *failed += count;
            text += (text.empty() ? "" : " ") + (code == s_slots - 1 ? std::string("other") : std::to_string(code)) + ":"
                + std::to_string(count);
        }
        return text.empty() ? "none" : text;
    }

private:
    static constexpr size_t s_slots = 64;
    std::array<std::atomic<unsigned long>, s_slots> m_counts{};
};

std::vector<int32_t> unitList(const char *text)
{
    std::vector<int32_t> units;
    const char *part = text;
    for (;;) {
        char *end = nullptr;
        const long unit = std::strtol(part, &end, 10);
        if (end == part || unit < 1 || unit > 99)
            return {};
        units.push_back(static_cast<int32_t>(unit));
        if (*end != ',')
            return *end == '\0' ? units : std::vector<int32_t>();
        part = end + 1;
    }
}

bool parseOptions(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--held") {
            options->held = true;
            continue;
        }
        if (word == "--count") {
            options->countOnly = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const char *value = argv[++i];
        if (word == "--threads")
            options->threads = std::atoi(value);
        else if (word == "--seconds")
            options->seconds = std::atof(value);
        else if (word == "--interval")
            options->interval = std::atof(value);
        else if (word == "--units")
            options->units = unitList(value);
        else if (word == "--calls")
            options->calls = std::atol(value);
        else if (word == "--warmup")
            options->warmup = std::atol(value);
        else
            return false;
    }
    return options->threads > 0 && options->seconds > 0 && options->interval > 0 && !options->units.empty();
}

void holdUnits(const Options &options)
{
    for (int32_t unit : options.units) {
        if (options.held && velmorHoldUnit(unit) != VELMOR_OK)
            std::fprintf(stderr, "velmor_soak: unit %d could not be held\n", unit);
    }
}

int runCalls(const Options &options)
{
    const int32_t unit = options.units.front();
    unsigned long failed = 0;
    for (long n = 0; n < options.warmup; ++n)
        failed += callNumber(unit, static_cast<unsigned long>(n)) != VELMOR_OK;
    const long before = residentKilobytes();
    for (long n = 0; n < options.calls; ++n)
        failed += callNumber(unit, static_cast<unsigned long>(n)) != VELMOR_OK;
    const long after = residentKilobytes();
    velmorReleaseAllUnits();
    std::printf("calls %ld on unit %d%s after %ld warm-up calls: resident %ld kB before, %ld kB after, growth %ld kB; "
                "failed calls %lu, D2XX handles open %zu\n",
                options.calls, unit, options.held ? " (held)" : "", options.warmup, before, after, after - before, failed,
                VelmorEmulator::openHandles().size());
    return failed == 0 && after - before < 1024 ? 0 : 1;
}

int runSoak(const Options &options)
{
    using Clock = std::chrono::steady_clock;
    CodeCounts counts;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < options.threads; ++t) {
        threads.emplace_back([&, t] {
            const int32_t unit = options.units[static_cast<size_t>(t) % options.units.size()];
            for (unsigned long n = static_cast<unsigned long>(t); !stop.load(); ++n)
                counts.add(callNumber(unit, n));
        });
    }
    const Clock::time_point start = Clock::now();
    const auto after = [&](double seconds) {
        return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    const Clock::time_point end = after(options.seconds);
    unsigned long allFailed = 0;
    for (int interval = 1;; ++interval) {
        const Clock::time_point next = after(options.interval * interval);
        std::this_thread::sleep_until(std::min(next, end));
        unsigned long total = 0, failed = 0;
        const std::string codes = counts.takeText(&total, &failed);
        allFailed += failed;
        std::printf("interval %d pid %d rss_kb %ld fds %d d2xx_handles %zu calls %lu failed %lu codes %s\n", interval,
                    static_cast<int>(::getpid()), residentKilobytes(), openDescriptors(),
                    VelmorEmulator::openHandles().size(), total, failed, codes.c_str());
        std::fflush(stdout);
        if (next >= end)
            break;
    }
    stop = true;
    for (std::thread &thread : threads)
        thread.join();
    unsigned long total = 0, failed = 0;
    const std::string codes = counts.takeText(&total, &failed);
    allFailed += failed;
    velmorReleaseAllUnits();
    const size_t handles = VelmorEmulator::openHandles().size();
    std::printf("end pid %d rss_kb %ld fds %d d2xx_handles %zu calls %lu failed %lu codes %s\n",
                static_cast<int>(::getpid()), residentKilobytes(), openDescriptors(), handles, total, failed,
                codes.c_str());
    return allFailed == 0 && handles == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: velmor_soak --threads N --seconds S [--units 1,2] [--interval S] [--held]\n"
                             "       velmor_soak --calls N [--warmup N] [--units 1] [--held]\n");
        return 64;
    }
    if (initialise() != VELMOR_OK) {
        std::fprintf(stderr, "velmor_soak: initialise failed\n");
        return 1;
    }
    if (options.countOnly) {
        int32_t count = 0;
        getDeviceCount(&count);
        std::printf("%d\n", count);
        return 0;
    }
    holdUnits(options);
    return options.calls > 0 ? runCalls(options) : runSoak(options);
}
