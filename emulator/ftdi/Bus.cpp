#include "Bus.h"

#include "DefaultBench.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace VelmorEmulator {

namespace {

uint32_t usualUsbId(Chip chip)
{
    switch (chip) {
    case Chip::FT232R: return 0x04036001;
    case Chip::FT2232H: return 0x04036010;
    case Chip::FT4232H: return 0x04036011;
    case Chip::FT232H: return 0x04036014;
    case Chip::XSeries: return 0x04036015;
    }
    return 0x04036001;
}

EmulatedInterface interfaceOfUnit(const UnitOnBus &unit, uint32_t locationId, const std::string &letter,
                                  InterfaceRole role)
{
    EmulatedInterface interface;
    interface.type = static_cast<uint32_t>(unit.chip);
    interface.id = unit.usbId != 0 ? unit.usbId : usualUsbId(unit.chip);
    interface.locationId = locationId;
    interface.eepromProgrammed = unit.eepromProgrammed;
    interface.eepromSerial = unit.eepromProgrammed ? unit.serial : std::string();
    interface.eepromDescription = unit.eepromProgrammed ? unit.description : std::string();
    interface.listedSerial = interface.eepromSerial.empty() ? std::string() : interface.eepromSerial + letter;
    interface.listedDescription = interface.eepromDescription.empty() ? std::string() : interface.eepromDescription + (letter.empty() ? "" : " " + letter);
    interface.role = role;
    return interface;
}

EmulatedInterface bareInterface(const BareInterface &bare)
{
    EmulatedInterface interface;
    interface.type = bare.type;
    interface.id = bare.id;
    interface.locationId = bare.locationId;
    interface.listedSerial = bare.serial.substr(0, 16);
    interface.listedDescription = bare.description.substr(0, 64);
    interface.role = InterfaceRole::Bare;
    return interface;
}

// The same for an interface in every process on the same bench.
uint64_t claimKey(const EmulatedInterface &interface)
{
    return uint64_t(interface.locationId) * 4 + static_cast<uint64_t>(interface.role);
}

void copyText(char *destination, size_t size, const std::string &text)
{
    std::memset(destination, 0, size);
    std::memcpy(destination, text.data(), std::min(size, text.size()));
}

// The interface as it is listed again after its unit is plugged in: nothing of the host's left.
EmulatedInterface closedCopy(const EmulatedInterface &interface)
{
    EmulatedInterface copy;
    copy.type = interface.type;
    copy.id = interface.id;
    copy.locationId = interface.locationId;
    copy.listedSerial = interface.listedSerial;
    copy.listedDescription = interface.listedDescription;
    copy.eepromProgrammed = interface.eepromProgrammed;
    copy.eepromSerial = interface.eepromSerial;
    copy.eepromDescription = interface.eepromDescription;
    copy.manufacturer = interface.manufacturer;
    copy.manufacturerId = interface.manufacturerId;
    copy.maxPower = interface.maxPower;
    copy.selfPowered = interface.selfPowered;
    copy.role = interface.role;
    copy.unitIndex = interface.unitIndex;
    copy.unit = interface.unit;
    return copy;
}

} // namespace

Bus &Bus::instance()
{
    static Bus bus;
    return bus;
}

void Bus::setBench(const std::vector<BenchItem> &items)
{
    stopPersisting();
    buildBench(items);
}

void Bus::buildBench(const std::vector<BenchItem> &items)
{
    m_benchSet = true;
    m_interfaces.clear();
    m_detached.clear();
    m_unplugged.clear();
    m_units.clear();
    m_listSnapshot.clear();
    restartHandleWatch();
    for (size_t position = 0; position < items.size(); ++position) {
        const BenchItem &item = items[position];
        if (!item.isUnit) {
            m_interfaces.push_back(bareInterface(item.bare));
            continue;
        }
        UnitOnBus unit = item.unit;
        unit.firmware.usbSerial = unit.serial;
        const uint32_t locationId = unit.locationId != 0 ? unit.locationId : 0x1000 + 0x10 * static_cast<uint32_t>(position);
        auto firmware = std::make_shared<velmor_firmware::Unit>(unit.firmware);
        const int unitIndex = static_cast<int>(m_units.size());
        m_units.push_back(firmware);
        if (unit.chip == Chip::FT2232H) {
            EmulatedInterface a = interfaceOfUnit(unit, locationId, "A", InterfaceRole::DataStream);
            EmulatedInterface b = interfaceOfUnit(unit, locationId, "B", InterfaceRole::CommandLine);
            a.unitIndex = b.unitIndex = unitIndex;
            a.unit = b.unit = firmware;
            m_interfaces.push_back(a);
            m_interfaces.push_back(b);
        } else {
            EmulatedInterface single = interfaceOfUnit(unit, locationId, "", InterfaceRole::CommandLine);
            single.unitIndex = unitIndex;
            single.unit = firmware;
            m_interfaces.push_back(single);
        }
    }
}

void Bus::ensureBench()
{
    if (m_benchSet)
        return;
    const std::vector<BenchItem> items = defaultBench();
    buildBench(items);
    const std::optional<std::string> path = m_mayPersist ? StateFile::configuredPath() : std::nullopt;
    if (!path)
        return;
    m_persistentBench = std::make_unique<PersistentBench>(*this, StateFile(*path), benchText(items));
    m_claims = std::make_unique<InterfaceClaims>(*path + ".open");
    m_persistentBench->synchronise(false);
}

void Bus::stopPersisting()
{
    m_mayPersist = false;
    m_persistentBench.reset();
    m_claims.reset();
}

bool Bus::claimInterface(const EmulatedInterface &interface)
{
    return !m_claims || m_claims->claim(claimKey(interface));
}

void Bus::releaseInterface(const EmulatedInterface &interface)
{
    if (m_claims)
        m_claims->release(claimKey(interface));
}

bool Bus::isOpenElsewhere(const EmulatedInterface &interface) const
{
    return m_claims && !interface.isOpen() && m_claims->isClaimedElsewhere(claimKey(interface));
}

void Bus::refreshUnits()
{
    if (m_persistentBench)
        m_persistentBench->synchronise(false);
}

void Bus::saveUnit(int unitIndex)
{
    if (!m_persistentBench || unitIndex < 0)
        return;
    m_persistentBench->markChanged(unitIndex);
    m_persistentBench->synchronise(true);
}

void Bus::saveChanges()
{
    if (m_persistentBench)
        m_persistentBench->synchronise(true);
}


void Bus::takeListSnapshot()
{
    m_listSnapshot.clear();
    for (const EmulatedInterface &interface : m_interfaces) {
        FT_DEVICE_LIST_INFO_NODE node;
        std::memset(&node, 0, sizeof node);
        node.Flags = (interface.isOpen() || isOpenElsewhere(interface) ? FT_FLAGS_OPENED : 0)
                     | ((interface.type == FT_DEVICE_2232H || interface.type == FT_DEVICE_232H) ? FT_FLAGS_HISPEED : 0);
        node.Type = interface.type;
        node.ID = interface.id;
        node.LocId = interface.locationId;
        copyText(node.SerialNumber, sizeof node.SerialNumber, interface.listedSerial);
        copyText(node.Description, sizeof node.Description, interface.listedDescription);
        node.ftHandle = interface.handle;
        m_listSnapshot.push_back(node);
    }
}

void Bus::setPendingBenchChange(const std::vector<BenchItem> &items)
{
    m_hasPendingBench = true;
    m_pendingBench = items;
}

bool Bus::applyPendingBenchChange()
{
    if (!m_hasPendingBench)
        return false;
    m_hasPendingBench = false;
    setBench(m_pendingBench);
    takeListSnapshot();
    return true;
}

EmulatedInterface *Bus::interfaceOf(FT_HANDLE handle, int *index)
{
    if (handle == nullptr)
        return nullptr;
    for (size_t i = 0; i < m_interfaces.size(); ++i) {
        if (m_interfaces[i].handle == handle) {
            if (index != nullptr)
                *index = static_cast<int>(i);
            return &m_interfaces[i];
        }
    }
    for (EmulatedInterface &interface : m_detached) {
        if (interface.handle == handle) {
            if (index != nullptr)
                *index = -1;
            return &interface;
        }
    }
    return nullptr;
}

void *Bus::newHandle()
{
    m_nextHandle += 0x10;
    return reinterpret_cast<void *>(m_nextHandle);
}

FT_STATUS Bus::injectedStatus(const std::string &function)
{
    auto found = m_callFailures.find(function);
    if (found == m_callFailures.end())
        return FT_OK;
    for (CallFailure &failure : found->second) {
        if (failure.skip > 0) {
            --failure.skip;
            continue;
        }
        if (failure.times == 0)
            continue;
        if (failure.times > 0)
            --failure.times;
        return failure.status;
    }
    return FT_OK;
}

bool Bus::takeWriteExpiry()
{
    if (m_writeExpiry.times == 0)
        return false;
    if (m_writeExpiry.skip > 0) {
        --m_writeExpiry.skip;
        return false;
    }
    if (m_writeExpiry.times > 0)
        --m_writeExpiry.times;
    return true;
}

void Bus::addCallFailure(const std::string &function, uint32_t status, int skip, int times)
{
    m_callFailures[function].push_back(CallFailure{status, skip, times});
}

void Bus::record(const std::string &function, std::vector<uint64_t> arguments, int interfaceIndex, FT_STATUS status)
{
    CallRecord record;
    record.function = function;
    record.arguments = std::move(arguments);
    record.interfaceIndex = interfaceIndex;
    record.status = status;
    record.time = std::chrono::steady_clock::now();
    record.thread = std::this_thread::get_id();
    m_calls.append(std::move(record));
}

void Bus::noteCaller(std::thread::id caller)
{
    const auto foreign = [caller](const EmulatedInterface &interface) {
        return interface.isOpen() && interface.opener != caller;
    };
    if (std::any_of(m_interfaces.begin(), m_interfaces.end(), foreign)
        || std::any_of(m_detached.begin(), m_detached.end(), foreign))
        ++m_callsBesideForeignHandle;
}

void Bus::noteOpened()
{
    m_mostHandlesOpen = std::max(m_mostHandlesOpen, openHandles().size());
}

void Bus::restartHandleWatch()
{
    m_mostHandlesOpen = openHandles().size();
    m_callsBesideForeignHandle = 0;
}

void Bus::unplugUnit(size_t unit)
{
    // The unit's interfaces leave the list; a handle still open on one answers I/O errors
    // until it is closed.
    std::vector<EmulatedInterface> remaining;
    for (size_t position = 0; position < m_interfaces.size(); ++position) {
        EmulatedInterface &interface = m_interfaces[position];
        if (interface.unitIndex != static_cast<int>(unit)) {
            remaining.push_back(std::move(interface));
            continue;
        }
        m_unplugged.push_back({position, closedCopy(interface)});
        if (interface.isOpen()) {
            interface.detached = true;
            m_detached.push_back(std::move(interface));
        }
    }
    m_interfaces = std::move(remaining);
}

void Bus::plugUnit(size_t unit)
{
    std::vector<Unplugged> still;
    for (Unplugged &unplugged : m_unplugged) {
        if (unplugged.interface.unitIndex != static_cast<int>(unit)) {
            still.push_back(std::move(unplugged));
            continue;
        }
        const size_t position = std::min(unplugged.position, m_interfaces.size());
        m_interfaces.insert(m_interfaces.begin() + static_cast<std::ptrdiff_t>(position), std::move(unplugged.interface));
    }
    m_unplugged = std::move(still);
}

void Bus::programIdentity(EmulatedInterface &programmed, const std::string &serial, const std::string &description,
                          uint16_t maxPower, bool selfPowered)
{
    for (EmulatedInterface &interface : m_interfaces) {
        const bool sameUnit = &interface == &programmed
                              || (programmed.unitIndex >= 0 && interface.unitIndex == programmed.unitIndex);
        if (!sameUnit)
            continue;
        const std::string letter = interface.type == FT_DEVICE_2232H
                                       ? (interface.role == InterfaceRole::DataStream ? "A" : "B") : "";
        interface.eepromProgrammed = true;
        interface.eepromSerial = serial;
        interface.eepromDescription = description;
        interface.maxPower = maxPower;
        interface.selfPowered = selfPowered;
        interface.listedSerial = serial.empty() ? serial : serial + letter;
        interface.listedDescription = description.empty() || letter.empty() ? description : description + " " + letter;
    }
}

void Bus::releaseDetached(FT_HANDLE handle)
{
    for (size_t i = 0; i < m_detached.size(); ++i) {
        if (m_detached[i].handle == handle) {
            m_detached.erase(m_detached.begin() + static_cast<long>(i));
            return;
        }
    }
}

std::vector<OpenHandle> Bus::openHandles() const
{
    std::vector<OpenHandle> handles;
    for (size_t i = 0; i < m_interfaces.size(); ++i) {
        if (m_interfaces[i].isOpen())
            handles.push_back(OpenHandle{m_interfaces[i].handle, static_cast<int>(i)});
    }
    for (const EmulatedInterface &interface : m_detached)
        handles.push_back(OpenHandle{interface.handle, -1});
    return handles;
}

} // namespace VelmorEmulator
