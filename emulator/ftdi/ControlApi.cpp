// The control API: benches, faults and inspection for tests and tools. A bench set here is this
// process's own: it never reads or writes the state file the default bench is kept in.
#include "Bus.h"
#include "DefaultBench.h"
#include "Diagnostics.h"

#include <stdexcept>

namespace VelmorEmulator {

namespace {

using Lock = std::lock_guard<std::mutex>;

Bus &bus() { return Bus::instance(); }

std::vector<BenchItem> itemsOf(const std::vector<UnitOnBus> &units)
{
    std::vector<BenchItem> items;
    for (const UnitOnBus &unit : units)
        items.push_back(BenchItem::of(unit));
    return items;
}

velmor_firmware::Unit &unitAt(size_t index)
{
    auto &units = bus().units();
    if (index >= units.size())
        throw std::out_of_range("no such unit on the emulated bench");
    return *units[index];
}

} // namespace

void setBench(const std::vector<BenchItem> &items)
{
    Lock lock(bus().mutex());
    bus().setBench(items);
}

void setBench(const std::vector<UnitOnBus> &units)
{
    setBench(itemsOf(units));
}

void useDefaultBench()
{
    setBench(defaultBench());
}

void changeBenchBeforeNextListFetch(const std::vector<BenchItem> &items)
{
    Lock lock(bus().mutex());
    bus().stopPersisting();
    bus().ensureBench();
    bus().setPendingBenchChange(items);
}

size_t unitCount()
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    return bus().units().size();
}

int unitOfInterface(int interfaceIndex)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    const auto &interfaces = bus().interfaces();
    if (interfaceIndex < 0 || static_cast<size_t>(interfaceIndex) >= interfaces.size())
        return -1;
    return interfaces[static_cast<size_t>(interfaceIndex)].unitIndex;
}

void failCall(const std::string &function, uint32_t status, int skip, int times)
{
    Lock lock(bus().mutex());
    bus().addCallFailure(function, status, skip, times);
}

void clearCallFailures()
{
    Lock lock(bus().mutex());
    bus().clearCallFailures();
}

void expireNextReads(int times)
{
    Lock lock(bus().mutex());
    bus().expireReads(times);
}

void expireNextWrites(int times, int skip)
{
    Lock lock(bus().mutex());
    bus().expireWrites(times, skip);
}

void addUnitFault(size_t unit, const UnitFault &fault)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    unitAt(unit).addFault(fault);
}

void clearUnitFaults(size_t unit)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    unitAt(unit).clearFaults();
}

void unplug(size_t unit)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    bus().unplugUnit(unit);
}

void plug(size_t unit)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    bus().plugUnit(unit);
}

velmor_firmware::Unit &unit(size_t index)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    return unitAt(index);
}

void streamData(size_t unit, const std::vector<uint8_t> &bytes)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    for (EmulatedInterface &interface : bus().interfaces()) {
        if (interface.unitIndex == static_cast<int>(unit) && interface.role == InterfaceRole::DataStream)
            interface.streamSource.insert(interface.streamSource.end(), bytes.begin(), bytes.end());
    }
}

std::vector<CallRecord> calls()
{
    Lock lock(bus().mutex());
    return bus().callLog();
}

void clearCalls()
{
    Lock lock(bus().mutex());
    bus().clearCallLog();
    bus().restartHandleWatch();
}

std::vector<OpenHandle> openHandles()
{
    Lock lock(bus().mutex());
    return bus().openHandles();
}

size_t mostHandlesOpenAtOnce()
{
    Lock lock(bus().mutex());
    return bus().mostHandlesOpenAtOnce();
}

size_t callsBesideAnotherThreadsHandle()
{
    Lock lock(bus().mutex());
    return bus().callsBesideAnotherThreadsHandle();
}

InterfaceSettings interfaceSettings(int interfaceIndex)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    const auto &interfaces = bus().interfaces();
    if (interfaceIndex < 0 || static_cast<size_t>(interfaceIndex) >= interfaces.size())
        return InterfaceSettings();
    return interfaces[static_cast<size_t>(interfaceIndex)].settings;
}

std::vector<ReceivedPacket> receivedPackets(size_t unit)
{
    Lock lock(bus().mutex());
    bus().ensureBench();
    return unitAt(unit).receivedPackets();
}

std::vector<std::string> diagnostics()
{
    return Diagnostics::reported();
}

} // namespace VelmorEmulator
