// Keeps every attached unit held by velmord itself, pinned to its serial number, so that every
// client's calls find it open: a unit that comes is held within kPeriodMs, a hold whose unit
// left its index is released (and the unit held again where it stands now).
#ifndef VELMORD_UNITWATCHER_H
#define VELMORD_UNITWATCHER_H

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>

class UnitWatcher
{
public:
    UnitWatcher() = default;
    ~UnitWatcher();
    UnitWatcher(const UnitWatcher &) = delete;
    UnitWatcher &operator=(const UnitWatcher &) = delete;

    void start();
    void stop();
    // One pass: what start() repeats.
    void look();

    static constexpr int kPeriodMs = 250;
    static constexpr int kBusyRetryMs = 1000;

private:
    void releaseStale(int listedCount);
    void holdListed(int listedCount);
    void forgetUnplugged(int listedCount);
    void report(const std::string &serial, int code, int index);

    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
    std::set<int> m_heldIndices;
    // The last outcome per serial, so that each change is logged once.
    std::map<std::string, int> m_lastCode;
    std::map<std::string, std::chrono::steady_clock::time_point> m_nextTry;
};

#endif // VELMORD_UNITWATCHER_H
