#include "UnitWatcher.h"

#include "Log.h"
#include "VelmorLibExtras.h"

#include <chrono>

UnitWatcher::~UnitWatcher()
{
    stop();
}

void UnitWatcher::start()
{
    m_thread = std::thread([this] {
        while (!m_stopping) {
            look();
            std::this_thread::sleep_for(std::chrono::milliseconds(kPeriodMs));
        }
    });
}

void UnitWatcher::stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
}

void UnitWatcher::look()
{
    int32_t count = 0;
    if (getDeviceCount(&count) != VELMOR_OK)
        count = 0;
    releaseStale(count);
    forgetUnplugged(count);
    holdListed(count);
}

void UnitWatcher::forgetUnplugged(int listedCount)
{
    std::set<std::string> listed;
    for (int index = 1; index <= listedCount && index < 100; ++index) {
        VelmorUnitState state{};
        state.size = sizeof state;
        if (velmorGetUnitState(index, &state) == VELMOR_OK && state.listed == 1)
            listed.insert(state.serialNumber);
    }
    for (auto entry = m_nextTry.begin(); entry != m_nextTry.end();)
        entry = listed.count(entry->first) != 0 ? std::next(entry) : m_nextTry.erase(entry);
    for (auto entry = m_lastCode.begin(); entry != m_lastCode.end();)
        entry = listed.count(entry->first) != 0 ? std::next(entry) : m_lastCode.erase(entry);
}

void UnitWatcher::releaseStale(int listedCount)
{
    for (auto index = m_heldIndices.begin(); index != m_heldIndices.end();) {
        VelmorUnitState state{};
        state.size = sizeof state;
        const bool away = *index > listedCount
                          || (velmorGetUnitState(*index, &state) == VELMOR_OK && state.held == 1 && state.heldUnitAway == 1);
        if (!away) {
            // A held unit whose handle broke (a D2XX call failed on it) is opened again here,
            // rather than by the next client call that finds it unusable.
            if (state.held == 1 && state.heldOpen == 0)
                velmorHoldUnit(*index);
            ++index;
            continue;
        }
        velmorReleaseUnit(*index);
        Log::detail("index " + std::to_string(*index) + ": held unit " + state.heldSerialNumber + " left it");
        index = m_heldIndices.erase(index);
    }
}

void UnitWatcher::holdListed(int listedCount)
{
    for (int index = 1; index <= listedCount && index < 100; ++index) {
        if (m_heldIndices.count(index) != 0)
            continue;
        VelmorUnitState state{};
        state.size = sizeof state;
        if (velmorGetUnitState(index, &state) != VELMOR_OK || state.listed != 1)
            continue;
        // A unit open in another program is tried again after a while. One whose start-up
        // failed (silent, or firmware the library does not take) is tried again only once it
        // was unplugged: a start-up that fails holds the library's lock for seconds.
        const auto now = std::chrono::steady_clock::now();
        const auto retry = m_nextTry.find(state.serialNumber);
        if (retry != m_nextTry.end() && now < retry->second)
            continue;
        int32_t heldAt = 0;
        const int32_t code = velmorHoldUnitBySerial(state.serialNumber, &heldAt);
        if (code == VELMOR_OK)
            m_heldIndices.insert(heldAt);
        else
            m_nextTry[state.serialNumber] = code == VELMOR_ERROR_OPEN_FAILED ? now + std::chrono::milliseconds(kBusyRetryMs)
                                                                            : std::chrono::steady_clock::time_point::max();
        report(state.serialNumber, code, heldAt);
    }
}

void UnitWatcher::report(const std::string &serial, int code, int index)
{
    const auto last = m_lastCode.find(serial);
    if (last != m_lastCode.end() && last->second == code)
        return;
    m_lastCode[serial] = code;
    if (code == VELMOR_OK)
        Log::line("unit " + serial + " held at index " + std::to_string(index));
    else
        Log::line("unit " + serial + " cannot be held: " + velmorResultText(code) + " (code " + std::to_string(code) + ")");
}
