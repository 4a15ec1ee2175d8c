// The exported D2XX functions, answering as FTDI's library does, over the emulated bus.
#include "Bus.h"
#include "WireTiming.h"

#include <algorithm>
#include <cstring>
#include <thread>

using namespace VelmorEmulator;

namespace {

using Lock = std::unique_lock<std::mutex>;
using SteadyClock = std::chrono::steady_clock;

// A read with no time-out set waits as long as it must; the emulator still gives up after
// this long so that a test can never hang on it.
constexpr std::chrono::seconds kLongestRead(30);

constexpr DWORD kX_SeriesRecordSize = sizeof(FT_EEPROM_X_SERIES);

struct CallFrame
{
    explicit CallFrame(const char *function)
        : function(function)
        , lock(Bus::instance().mutex())
        , bus(Bus::instance())
    {
        bus.ensureBench();
        bus.noteCaller(std::this_thread::get_id());
    }

    FT_STATUS finish(FT_STATUS status)
    {
        bus.record(function, arguments, interfaceIndex, status);
        return status;
    }

    const char *function;
    Lock lock;
    Bus &bus;
    std::vector<uint64_t> arguments;
    int interfaceIndex = -1;
};

// Runs `body` on the interface behind `handle`, with the checks every handle call makes.
template <typename Body>
FT_STATUS onHandle(CallFrame &frame, FT_HANDLE handle, Body body)
{
    const FT_STATUS injected = frame.bus.injectedStatus(frame.function);
    if (injected != FT_OK)
        return frame.finish(injected);
    EmulatedInterface *interface = frame.bus.interfaceOf(handle, &frame.interfaceIndex);
    if (interface == nullptr)
        return frame.finish(FT_INVALID_HANDLE);
    if (interface->detached || interface->cycled)
        return frame.finish(FT_IO_ERROR);
    return frame.finish(body(*interface));
}

void copyText(char *destination, size_t capacity, const std::string &text)
{
    if (destination == nullptr || capacity == 0)
        return;
    const size_t length = std::min(capacity - 1, text.size());
    std::memcpy(destination, text.data(), length);
    destination[length] = '\0';
}

std::string boundedText(const char *source, size_t capacity)
{
    if (source == nullptr)
        return std::string();
    size_t length = 0;
    while (length < capacity && source[length] != '\0')
        ++length;
    return std::string(source, length);
}

uint32_t requiredProgramDataVersion(uint32_t chipType)
{
    switch (chipType) {
    case FT_DEVICE_232R: return 2;
    case FT_DEVICE_2232H: return 3;
    case FT_DEVICE_4232H: return 4;
    case FT_DEVICE_232H: return 5;
    default: return 0;
    }
}

constexpr uint8_t kSynchronousFifoMode = 0x40;

velmor_firmware::SerialLine lineOf(const InterfaceSettings &settings)
{
    velmor_firmware::SerialLine line;
    line.baudRate = settings.baudRate;
    line.dataBits = settings.wordLength;
    line.stopBits = settings.stopBits;
    line.parity = settings.parity;
    line.rtsCts = settings.flowControl == FT_FLOW_RTS_CTS;
    line.synchronousFifo = settings.bitMode == kSynchronousFifoMode;
    return line;
}

// The data interface streams what its unit produces, at once, as far as the grant allows. The
// released bytes stay at the front of the stream source, counted as ready.
void releaseStreamedBytes(EmulatedInterface &interface)
{
    if (interface.role != InterfaceRole::DataStream)
        return;
    const size_t released =
        std::min<size_t>(interface.grantRemaining, interface.streamSource.size() - interface.streamReleased);
    interface.streamReleased += released;
    interface.grantRemaining -= static_cast<uint32_t>(released);
}

// Bytes of the serial line's queue that have reached the host.
size_t readyOnLine(const EmulatedInterface &interface, SteadyClock::time_point now)
{
    size_t count = 0;
    for (const PendingByte &byte : interface.toHost) {
        if (byte.readyTime > now)
            break;
        ++count;
    }
    return count;
}

size_t readyCount(const EmulatedInterface &interface, SteadyClock::time_point now)
{
    return readyOnLine(interface, now) + interface.streamReleased;
}

void dropReleasedStream(EmulatedInterface &interface)
{
    interface.streamSource.erase(interface.streamSource.begin(),
                                 interface.streamSource.begin() + static_cast<long>(interface.streamReleased));
    interface.streamReleased = 0;
}

// Copies `count` ready bytes (at most readyCount) to `out` and removes them.
void takeReady(EmulatedInterface &interface, uint8_t *out, size_t count, SteadyClock::time_point now)
{
    const size_t fromLine = std::min(count, readyOnLine(interface, now));
    for (size_t i = 0; i < fromLine; ++i)
        out[i] = interface.toHost[i].value;
    interface.toHost.erase(interface.toHost.begin(), interface.toHost.begin() + static_cast<long>(fromLine));
    const size_t fromStream = std::min(count - fromLine, interface.streamReleased);
    std::copy_n(interface.streamSource.begin(), fromStream, out + fromLine);
    interface.streamSource.erase(interface.streamSource.begin(), interface.streamSource.begin() + static_cast<long>(fromStream));
    interface.streamReleased -= fromStream;
}

void scheduleToHost(EmulatedInterface &interface, const velmor_firmware::Transmission &transmission)
{
    const uint32_t baud = interface.settings.baudRate;
    const auto latency = std::chrono::milliseconds(interface.settings.latencyMs);
    auto start = transmission.sendTime;
    if (!interface.toHost.empty())
        start = std::max(start, interface.toHost.back().readyTime - latency);
    for (size_t k = 0; k < transmission.bytes.size(); ++k) {
        const auto ready = start + wireTime(k + 1, baud) + latency;
        interface.toHost.push_back(PendingByte{ready, transmission.bytes[k]});
    }
}

void writeToUnit(Bus &bus, EmulatedInterface &interface, const uint8_t *bytes, DWORD count)
{
    if (interface.role == InterfaceRole::DataStream) {
        // A zero byte grants the unit the next block of data.
        if (std::find(bytes, bytes + count, uint8_t(0)) != bytes + count)
            interface.grantRemaining = 65280;
        return;
    }
    if (interface.role != InterfaceRole::CommandLine || !interface.unit)
        return;
    const auto arrival = SteadyClock::now() + wireTime(count, interface.settings.baudRate);
    const int unitIndex = interface.unitIndex;
    std::shared_ptr<velmor_firmware::Unit> unit = interface.unit;
    for (const auto &transmission : unit->receive(bytes, count, arrival, lineOf(interface.settings)))
        scheduleToHost(interface, transmission);
    if (unit->unplugged())
        bus.unplugUnit(static_cast<size_t>(unitIndex));
    bus.saveUnit(unitIndex);
}

} // namespace

extern "C" {

FTDI_API FT_STATUS FTDI_CALL FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs)
{
    CallFrame frame("FT_CreateDeviceInfoList");
    const FT_STATUS injected = frame.bus.injectedStatus(frame.function);
    if (injected != FT_OK) {
        if (lpdwNumDevs != nullptr)
            *lpdwNumDevs = 0;
        return frame.finish(injected);
    }
    if (lpdwNumDevs == nullptr)
        return frame.finish(FT_INVALID_PARAMETER);
    frame.bus.refreshUnits();
    frame.bus.takeListSnapshot();
    *lpdwNumDevs = static_cast<DWORD>(frame.bus.listSnapshot().size());
    frame.arguments = {*lpdwNumDevs};
    return frame.finish(FT_OK);
}

FTDI_API FT_STATUS FTDI_CALL FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE *pDest, LPDWORD lpdwNumDevs)
{
    CallFrame frame("FT_GetDeviceInfoList");
    const FT_STATUS injected = frame.bus.injectedStatus(frame.function);
    if (injected != FT_OK)
        return frame.finish(injected);
    if (pDest == nullptr || lpdwNumDevs == nullptr)
        return frame.finish(FT_INVALID_PARAMETER);
    frame.bus.applyPendingBenchChange();
    const auto &snapshot = frame.bus.listSnapshot();
    // The count is in/out: at most as many nodes as the caller has room for.
    const DWORD written = std::min<DWORD>(*lpdwNumDevs, static_cast<DWORD>(snapshot.size()));
    std::copy(snapshot.begin(), snapshot.begin() + written, pDest);
    frame.arguments = {*lpdwNumDevs, written};
    *lpdwNumDevs = written;
    return frame.finish(FT_OK);
}

FTDI_API FT_STATUS FTDI_CALL FT_Open(int deviceNumber, FT_HANDLE *pHandle)
{
    CallFrame frame("FT_Open");
    frame.arguments = {static_cast<uint64_t>(static_cast<int64_t>(deviceNumber))};
    frame.interfaceIndex = deviceNumber;
    const FT_STATUS injected = frame.bus.injectedStatus(frame.function);
    if (injected != FT_OK)
        return frame.finish(injected);
    if (pHandle == nullptr)
        return frame.finish(FT_INVALID_PARAMETER);
    auto &interfaces = frame.bus.interfaces();
    if (deviceNumber < 0 || static_cast<size_t>(deviceNumber) >= interfaces.size())
        return frame.finish(FT_DEVICE_NOT_FOUND);
    EmulatedInterface &interface = interfaces[static_cast<size_t>(deviceNumber)];
    if (interface.isOpen() || !frame.bus.claimInterface(interface))
        return frame.finish(FT_DEVICE_NOT_OPENED);
    // Another process may have left the unit changed when it closed it.
    frame.bus.refreshUnits();
    interface.handle = frame.bus.newHandle();
    interface.opener = std::this_thread::get_id();
    interface.cycled = false;
    interface.settings = InterfaceSettings();
    interface.settings.open = true;
    interface.toHost.clear();
    dropReleasedStream(interface);
    interface.grantRemaining = 0;
    frame.bus.noteOpened();
    *pHandle = interface.handle;
    return frame.finish(FT_OK);
}

FTDI_API FT_STATUS FTDI_CALL FT_Close(FT_HANDLE ftHandle)
{
    CallFrame frame("FT_Close");
    const FT_STATUS injected = frame.bus.injectedStatus(frame.function);
    EmulatedInterface *interface = frame.bus.interfaceOf(ftHandle, &frame.interfaceIndex);
    if (interface == nullptr)
        return frame.finish(injected != FT_OK ? injected : FT_STATUS(FT_INVALID_HANDLE));
    // An injected failure still releases the handle: the host has no way to retry a close.
    if (interface->detached) {
        frame.bus.releaseInterface(*interface);
        frame.bus.releaseDetached(ftHandle);
    } else {
        interface->handle = nullptr;
        interface->cycled = false;
        interface->settings.open = false;
        interface->toHost.clear();
        dropReleasedStream(*interface);
        frame.bus.saveChanges();
        frame.bus.releaseInterface(*interface);
    }
    return frame.finish(injected);
}

FTDI_API FT_STATUS FTDI_CALL FT_GetDeviceInfo(FT_HANDLE ftHandle, FT_DEVICE *lpftDevice, LPDWORD lpdwID, PCHAR SerialNumber,
                                              PCHAR Description, LPVOID)
{
    CallFrame frame("FT_GetDeviceInfo");
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (lpftDevice != nullptr)
            *lpftDevice = interface.type;
        if (lpdwID != nullptr)
            *lpdwID = interface.id;
        copyText(SerialNumber, 16, interface.listedSerial);
        copyText(Description, 64, interface.listedDescription);
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_EE_Read(FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData)
{
    CallFrame frame("FT_EE_Read");
    if (pData != nullptr)
        frame.arguments = {pData->Signature1, pData->Signature2, pData->Version};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        const uint32_t required = requiredProgramDataVersion(interface.type);
        if (pData == nullptr || pData->Signature1 != 0 || pData->Signature2 != 0xFFFFFFFF || required == 0
            || pData->Version < required)
            return FT_STATUS(FT_INVALID_PARAMETER);
        pData->VendorId = static_cast<WORD>(interface.id >> 16);
        pData->ProductId = static_cast<WORD>(interface.id & 0xFFFF);
        pData->MaxPower = interface.maxPower;
        pData->SelfPowered = interface.selfPowered ? 1 : 0;
        pData->SerNumEnable = 1;
        copyText(pData->Manufacturer, 32, interface.eepromProgrammed ? interface.manufacturer : "");
        copyText(pData->ManufacturerId, 16, interface.eepromProgrammed ? interface.manufacturerId : "");
        copyText(pData->Description, 64, interface.eepromDescription);
        copyText(pData->SerialNumber, 16, interface.eepromSerial);
        return FT_STATUS(interface.eepromProgrammed ? FT_OK : FT_EEPROM_NOT_PROGRAMMED);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_EEPROM_Read(FT_HANDLE ftHandle, void *eepromData, DWORD eepromDataSize, char *Manufacturer,
                                            char *ManufacturerId, char *Description, char *SerialNumber)
{
    CallFrame frame("FT_EEPROM_Read");
    auto *record = static_cast<FT_EEPROM_X_SERIES *>(eepromData);
    frame.arguments = {eepromDataSize, record != nullptr && eepromDataSize >= sizeof(FT_EEPROM_HEADER) ? record->common.deviceType : 0u};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (record == nullptr || eepromDataSize != kX_SeriesRecordSize || interface.type != FT_DEVICE_X_SERIES
            || record->common.deviceType != FT_DEVICE_X_SERIES)
            return FT_STATUS(FT_INVALID_PARAMETER);
        record->common.VendorId = static_cast<WORD>(interface.id >> 16);
        record->common.ProductId = static_cast<WORD>(interface.id & 0xFFFF);
        record->common.MaxPower = interface.maxPower;
        record->common.SelfPowered = interface.selfPowered ? 1 : 0;
        record->common.SerNumEnable = 1;
        copyText(Manufacturer, 32, interface.eepromProgrammed ? interface.manufacturer : "");
        copyText(ManufacturerId, 16, interface.eepromProgrammed ? interface.manufacturerId : "");
        copyText(Description, 64, interface.eepromDescription);
        copyText(SerialNumber, 16, interface.eepromSerial);
        return FT_STATUS(interface.eepromProgrammed ? FT_OK : FT_EEPROM_NOT_PROGRAMMED);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_EE_Program(FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData)
{
    CallFrame frame("FT_EE_Program");
    if (pData != nullptr)
        frame.arguments = {pData->Signature1, pData->Signature2, pData->Version, pData->MaxPower,
                           pData->SelfPowered, pData->VendorId, pData->ProductId, pData->PnP};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        const uint32_t required = requiredProgramDataVersion(interface.type);
        if (pData == nullptr || pData->Signature1 != 0 || pData->Signature2 != 0xFFFFFFFF || required == 0
            || pData->Version < required)
            return FT_STATUS(FT_INVALID_PARAMETER);
        frame.bus.programIdentity(interface, boundedText(pData->SerialNumber, 16), boundedText(pData->Description, 64),
                                  pData->MaxPower, pData->SelfPowered != 0);
        frame.bus.saveUnit(interface.unitIndex);
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_EEPROM_Program(FT_HANDLE ftHandle, void *eepromData, DWORD eepromDataSize, char *,
                                               char *, char *Description, char *SerialNumber)
{
    CallFrame frame("FT_EEPROM_Program");
    auto *record = static_cast<FT_EEPROM_X_SERIES *>(eepromData);
    frame.arguments = {eepromDataSize};
    if (record != nullptr && eepromDataSize == kX_SeriesRecordSize)
        frame.arguments.insert(frame.arguments.end(), {record->common.deviceType, record->common.MaxPower,
                                                       record->common.SelfPowered});
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (record == nullptr || eepromDataSize != kX_SeriesRecordSize || interface.type != FT_DEVICE_X_SERIES
            || record->common.deviceType != FT_DEVICE_X_SERIES)
            return FT_STATUS(FT_INVALID_PARAMETER);
        frame.bus.programIdentity(interface, boundedText(SerialNumber, 16), boundedText(Description, 64),
                                  record->common.MaxPower, record->common.SelfPowered != 0);
        frame.bus.saveUnit(interface.unitIndex);
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable)
{
    CallFrame frame("FT_SetBitMode");
    frame.arguments = {ucMask, ucEnable};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        interface.settings.bitMask = ucMask;
        interface.settings.bitMode = ucEnable;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetBaudRate(FT_HANDLE ftHandle, ULONG BaudRate)
{
    CallFrame frame("FT_SetBaudRate");
    frame.arguments = {BaudRate};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (BaudRate == 0)
            return FT_STATUS(FT_INVALID_BAUD_RATE);
        interface.settings.baudRate = BaudRate;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetDataCharacteristics(FT_HANDLE ftHandle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity)
{
    CallFrame frame("FT_SetDataCharacteristics");
    frame.arguments = {WordLength, StopBits, Parity};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        const bool valid = (WordLength == FT_BITS_7 || WordLength == FT_BITS_8)
                           && (StopBits == FT_STOP_BITS_1 || StopBits == FT_STOP_BITS_2) && Parity <= FT_PARITY_SPACE;
        if (!valid)
            return FT_STATUS(FT_INVALID_PARAMETER);
        interface.settings.wordLength = WordLength;
        interface.settings.stopBits = StopBits;
        interface.settings.parity = Parity;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetFlowControl(FT_HANDLE ftHandle, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar)
{
    CallFrame frame("FT_SetFlowControl");
    frame.arguments = {FlowControl, XonChar, XoffChar};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        interface.settings.flowControl = FlowControl;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency)
{
    CallFrame frame("FT_SetLatencyTimer");
    frame.arguments = {ucLatency};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (ucLatency == 0)
            return FT_STATUS(FT_INVALID_PARAMETER);
        interface.settings.latencyMs = ucLatency;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetUSBParameters(FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG ulOutTransferSize)
{
    CallFrame frame("FT_SetUSBParameters");
    frame.arguments = {ulInTransferSize, ulOutTransferSize};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        interface.settings.inTransferSize = ulInTransferSize;
        interface.settings.outTransferSize = ulOutTransferSize;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_Purge(FT_HANDLE ftHandle, ULONG Mask)
{
    CallFrame frame("FT_Purge");
    frame.arguments = {Mask};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if ((Mask & FT_PURGE_RX) != 0) {
            // What is still on the wire arrives after the purge.
            const size_t ready = readyOnLine(interface, SteadyClock::now());
            interface.toHost.erase(interface.toHost.begin(), interface.toHost.begin() + static_cast<long>(ready));
            dropReleasedStream(interface);
        }
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_SetTimeouts(FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout)
{
    CallFrame frame("FT_SetTimeouts");
    frame.arguments = {ReadTimeout, WriteTimeout};
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        interface.settings.readTimeoutMs = ReadTimeout;
        interface.settings.writeTimeoutMs = WriteTimeout;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_GetQueueStatus(FT_HANDLE ftHandle, DWORD *dwRxBytes)
{
    CallFrame frame("FT_GetQueueStatus");
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (dwRxBytes == nullptr)
            return FT_STATUS(FT_INVALID_PARAMETER);
        releaseStreamedBytes(interface);
        *dwRxBytes = static_cast<DWORD>(readyCount(interface, SteadyClock::now()));
        frame.arguments = {*dwRxBytes};
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_GetStatus(FT_HANDLE ftHandle, DWORD *dwRxBytes, DWORD *dwTxBytes, DWORD *dwEventDWord)
{
    CallFrame frame("FT_GetStatus");
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (dwRxBytes == nullptr || dwTxBytes == nullptr || dwEventDWord == nullptr)
            return FT_STATUS(FT_INVALID_PARAMETER);
        releaseStreamedBytes(interface);
        *dwRxBytes = static_cast<DWORD>(readyCount(interface, SteadyClock::now()));
        *dwTxBytes = 0;
        *dwEventDWord = 0;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned)
{
    CallFrame frame("FT_Read");
    frame.arguments = {dwBytesToRead};
    const FT_STATUS injected = frame.bus.injectedStatus(frame.function);
    if (injected != FT_OK)
        return frame.finish(injected);
    if (lpBytesReturned != nullptr)
        *lpBytesReturned = 0;
    EmulatedInterface *interface = frame.bus.interfaceOf(ftHandle, &frame.interfaceIndex);
    if (interface == nullptr)
        return frame.finish(FT_INVALID_HANDLE);
    if (lpBuffer == nullptr || lpBytesReturned == nullptr)
        return frame.finish(FT_INVALID_PARAMETER);
    const uint32_t timeoutMs = interface->settings.readTimeoutMs;
    const auto deadline = frame.bus.takeReadExpiry()
                              ? SteadyClock::now()
                              : SteadyClock::now() + (timeoutMs == 0 ? std::chrono::milliseconds(kLongestRead)
                                                                     : std::chrono::milliseconds(timeoutMs));
    for (;;) {
        interface = frame.bus.interfaceOf(ftHandle, &frame.interfaceIndex);
        if (interface == nullptr)
            return frame.finish(FT_INVALID_HANDLE);
        if (interface->detached || interface->cycled)
            return frame.finish(FT_IO_ERROR);
        releaseStreamedBytes(*interface);
        const auto now = SteadyClock::now();
        const size_t ready = readyCount(*interface, now);
        if (ready >= dwBytesToRead || now >= deadline) {
            const size_t taken = std::min<size_t>(ready, dwBytesToRead);
            takeReady(*interface, static_cast<uint8_t *>(lpBuffer), taken, now);
            *lpBytesReturned = static_cast<DWORD>(taken);
            frame.arguments.push_back(taken);
            return frame.finish(FT_OK);
        }
        auto wake = deadline;
        const size_t onLine = readyOnLine(*interface, now);
        if (onLine < interface->toHost.size())
            wake = std::min(wake, interface->toHost[onLine].readyTime);
        frame.lock.unlock();
        std::this_thread::sleep_until(wake);
        frame.lock.lock();
    }
}

FTDI_API FT_STATUS FTDI_CALL FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite, LPDWORD lpBytesWritten)
{
    CallFrame frame("FT_Write");
    frame.arguments = {dwBytesToWrite};
    if (lpBuffer != nullptr) {
        const auto *bytes = static_cast<const uint8_t *>(lpBuffer);
        frame.arguments.insert(frame.arguments.end(), bytes, bytes + std::min<DWORD>(dwBytesToWrite, 64));
    }
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        if (lpBytesWritten != nullptr)
            *lpBytesWritten = 0;
        if ((lpBuffer == nullptr && dwBytesToWrite > 0) || lpBytesWritten == nullptr)
            return FT_STATUS(FT_INVALID_PARAMETER);
        // A write whose time-out runs out has sent what it could.
        const DWORD sent = dwBytesToWrite > 0 && frame.bus.takeWriteExpiry() ? dwBytesToWrite - 1 : dwBytesToWrite;
        writeToUnit(frame.bus, interface, static_cast<const uint8_t *>(lpBuffer), sent);
        *lpBytesWritten = sent;
        return FT_STATUS(FT_OK);
    });
}

FTDI_API FT_STATUS FTDI_CALL FT_CyclePort(FT_HANDLE ftHandle)
{
    CallFrame frame("FT_CyclePort");
    return onHandle(frame, ftHandle, [&](EmulatedInterface &interface) {
        // The chip leaves the bus and comes back: the handle is good for FT_Close only.
        interface.cycled = true;
        interface.toHost.clear();
        dropReleasedStream(interface);
        return FT_STATUS(FT_OK);
    });
}

} // extern "C"
