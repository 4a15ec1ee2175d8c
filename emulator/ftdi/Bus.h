// The emulated USB bus: the units on it, their interfaces, the open handles, the faults the
// control API set, and the log of every D2XX call. One lock guards it all; no call holds it
// while it waits for bytes. The default bench keeps its units in the state file between
// processes; a bench set through the control API lives in this process only.
#ifndef VELMOR_EMULATOR_BUS_H
#define VELMOR_EMULATOR_BUS_H

#include "EmulatedInterface.h"
#include "FtdiLibrary.h"
#include "InterfaceClaims.h"
#include "PersistentBench.h"

#include "BoundedLog.h"

#include <map>
#include <memory>
#include <mutex>

namespace VelmorEmulator {

class Bus
{
public:
    static Bus &instance();

    std::mutex &mutex() { return m_mutex; }

    // All below expect the lock held.
    // A bench from the control API: the state file is left alone from then on.
    void setBench(const std::vector<BenchItem> &items);
    // Without a bench set, the default bench, as the state file has kept it.
    void ensureBench();
    void stopPersisting();
    // Takes in what other processes changed on the default bench.
    void refreshUnits();
    // The unit's state or its EEPROM changed: saved for other processes at once.
    void saveUnit(int unitIndex);
    // Saves what changed here and is not saved yet. Changes made on a unit through the control
    // API go with the unit's next change over the bus.
    void saveChanges();
    // On the default bench an interface is open in one process at a time; false when another
    // process has it open.
    bool claimInterface(const EmulatedInterface &interface);
    void releaseInterface(const EmulatedInterface &interface);
    std::vector<EmulatedInterface> &interfaces() { return m_interfaces; }
    std::vector<std::shared_ptr<velmor_firmware::Unit>> &units() { return m_units; }
    std::vector<FT_DEVICE_LIST_INFO_NODE> &listSnapshot() { return m_listSnapshot; }
    void takeListSnapshot();
    void setPendingBenchChange(const std::vector<BenchItem> &items);
    // True when a pending change was applied (and the snapshot taken anew).
    bool applyPendingBenchChange();

    EmulatedInterface *interfaceOf(FT_HANDLE handle, int *index = nullptr);
    void *newHandle();

    // The status a call must answer instead of working, or FT_OK.
    FT_STATUS injectedStatus(const std::string &function);
    void addCallFailure(const std::string &function, uint32_t status, int skip, int times);
    void clearCallFailures() { m_callFailures.clear(); m_readsToExpire = 0; m_writeExpiry = WriteExpiry(); }
    void expireReads(int times) { m_readsToExpire += times; }
    // True when this read is to return at once (and counts it).
    bool takeReadExpiry()
    {
        if (m_readsToExpire <= 0)
            return false;
        --m_readsToExpire;
        return true;
    }

    void expireWrites(int times, int skip) { m_writeExpiry = WriteExpiry{skip, times}; }
    // True when this write is to stop short (and counts it).
    bool takeWriteExpiry();

    void releaseDetached(FT_HANDLE handle);
    std::vector<OpenHandle> openHandles() const;

    void record(const std::string &function, std::vector<uint64_t> arguments, int interfaceIndex, FT_STATUS status);
    std::vector<CallRecord> callLog() const { return m_calls.entries(); }
    void clearCallLog() { m_calls.clear(); }

    // The handle watch: every D2XX call notes its caller, every open the number now open.
    void noteCaller(std::thread::id caller);
    void noteOpened();
    void restartHandleWatch();
    size_t mostHandlesOpenAtOnce() const { return m_mostHandlesOpen; }
    size_t callsBesideAnotherThreadsHandle() const { return m_callsBesideForeignHandle; }

    void unplugUnit(size_t unit);
    void plugUnit(size_t unit);
    // An FT2232H's two interfaces share one EEPROM.
    void programIdentity(EmulatedInterface &programmed, const std::string &serial, const std::string &description,
                         uint16_t maxPower, bool selfPowered);

private:
    Bus() = default;

    void buildBench(const std::vector<BenchItem> &items);
    bool isOpenElsewhere(const EmulatedInterface &interface) const;

    struct CallFailure
    {
        uint32_t status;
        int skip;
        int times;
    };

    struct WriteExpiry
    {
        int skip = 0;
        int times = 0;
    };

    std::mutex m_mutex;
    bool m_benchSet = false;
    bool m_mayPersist = true;
    std::unique_ptr<PersistentBench> m_persistentBench;
    std::unique_ptr<InterfaceClaims> m_claims;
    std::vector<EmulatedInterface> m_interfaces;
    std::vector<EmulatedInterface> m_detached;  // open handles of unplugged units
    struct Unplugged
    {
        size_t position;                      // where the interface was listed
        EmulatedInterface interface;          // closed, as it comes back
    };
    std::vector<Unplugged> m_unplugged;
    std::vector<std::shared_ptr<velmor_firmware::Unit>> m_units;
    std::vector<FT_DEVICE_LIST_INFO_NODE> m_listSnapshot;
    bool m_hasPendingBench = false;
    std::vector<BenchItem> m_pendingBench;
    std::map<std::string, std::vector<CallFailure>> m_callFailures;
    // About a thousand export calls' worth.
    velmor_firmware::BoundedLog<CallRecord> m_calls{32768};
    int m_readsToExpire = 0;
    size_t m_mostHandlesOpen = 0;
    size_t m_callsBesideForeignHandle = 0;
    WriteExpiry m_writeExpiry;
    uintptr_t m_nextHandle = 0x5e1000;
};

} // namespace VelmorEmulator

#endif
