// A D2XX stand-in preloaded into velmorctl by its tests, in one of two roles:
// - with VELMORCTL_TEST_D2XX_LOG, for the tests that must see a run make no D2XX call at all:
//   every D2XX function the library calls notes its name in that file and answers FT_OTHER_ERROR;
// - with VELMORCTL_TEST_UNPLUGGED, for the tests that unplug units under a running velmorctl:
//   every call goes on to the emulator, but the units whose serial numbers that file names (one a
//   line, read at each listing) are left out of D2XX's listing, as if unplugged, and the indices
//   FT_Open takes count the units that are left.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using FtStatus = uint32_t;
using FtHandle = void *;
constexpr FtStatus s_deviceNotFound = 2;
constexpr FtStatus s_otherError = 18;

struct ListNode
{
    uint32_t flags;
    uint32_t type;
    uint32_t id;
    uint32_t locationId;
    char serialNumber[16];
    char description[64];
    FtHandle handle;
};

bool recording()
{
    return std::getenv("VELMORCTL_TEST_D2XX_LOG") != nullptr;
}

FtStatus note(const char *function)
{
    if (std::FILE *log = std::fopen(std::getenv("VELMORCTL_TEST_D2XX_LOG"), "a")) {
        std::fprintf(log, "%s\n", function);
        std::fclose(log);
    }
    return s_otherError;
}

// The emulator's own function, which the library loaded before its first D2XX call.
template <typename Function>
Function emulatorFunction(const char *name)
{
    static void *const emulator = dlopen("libftd2xx.so", RTLD_NOW | RTLD_NOLOAD);
    return emulator != nullptr ? reinterpret_cast<Function>(dlsym(emulator, name)) : nullptr;
}

std::set<std::string> unpluggedSerials()
{
    std::set<std::string> serials;
    const char *path = std::getenv("VELMORCTL_TEST_UNPLUGGED");
    if (path == nullptr)
        return serials;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        serials.insert(line);
    return serials;
}

// The listing the last FT_CreateDeviceInfoList made, and where each of its entries stands in the
// emulator's.
struct Listing
{
    std::mutex mutex;
    std::vector<ListNode> nodes;
    std::vector<int> emulatorPositions;
};

Listing &listing()
{
    static Listing instance;
    return instance;
}

FtStatus createListing(uint32_t *count)
{
    using Create = FtStatus (*)(uint32_t *);
    using Get = FtStatus (*)(ListNode *, uint32_t *);
    uint32_t all = 0;
    FtStatus status = emulatorFunction<Create>("FT_CreateDeviceInfoList")(&all);
    std::vector<ListNode> nodes(all);
    if (status == 0 && all != 0)
        status = emulatorFunction<Get>("FT_GetDeviceInfoList")(nodes.data(), &all);
    if (status != 0)
        return status;
    const std::set<std::string> unplugged = unpluggedSerials();
    Listing &shown = listing();
    const std::lock_guard<std::mutex> lock(shown.mutex);
    shown.nodes.clear();
    shown.emulatorPositions.clear();
    for (uint32_t position = 0; position < all && position < nodes.size(); ++position) {
        const std::string serial(nodes[position].serialNumber, strnlen(nodes[position].serialNumber, 16));
        if (unplugged.count(serial) != 0)
            continue;
        shown.nodes.push_back(nodes[position]);
        shown.emulatorPositions.push_back(static_cast<int>(position));
    }
    *count = static_cast<uint32_t>(shown.nodes.size());
    return 0;
}

FtStatus copyListing(ListNode *destination, uint32_t *count)
{
    Listing &shown = listing();
    const std::lock_guard<std::mutex> lock(shown.mutex);
    std::copy(shown.nodes.begin(), shown.nodes.end(), destination);
    *count = static_cast<uint32_t>(shown.nodes.size());
    return 0;
}

FtStatus openListed(int number, FtHandle *handle)
{
    int position = -1;
    {
        Listing &shown = listing();
        const std::lock_guard<std::mutex> lock(shown.mutex);
        if (number < 0 || static_cast<size_t>(number) >= shown.emulatorPositions.size())
            return s_deviceNotFound;
        position = shown.emulatorPositions[static_cast<size_t>(number)];
    }
    return emulatorFunction<FtStatus (*)(int, FtHandle *)>("FT_Open")(position, handle);
}

} // namespace

#define VELMOR_EXPORTED extern "C" __attribute__((visibility("default")))

// A call that only notes its name, or reaches the emulator unchanged.
#define VELMOR_PASSED_ON(name, parameters, arguments)                                     \
    VELMOR_EXPORTED FtStatus name parameters                                                 \
    {                                                                                        \
        if (recording())                                                                     \
            return note(#name);                                                              \
        const auto function = emulatorFunction<FtStatus(*) parameters>(#name);               \
        return function != nullptr ? function arguments : s_otherError;                      \
    }

VELMOR_EXPORTED FtStatus FT_CreateDeviceInfoList(uint32_t *count)
{
    return recording() ? note("FT_CreateDeviceInfoList") : createListing(count);
}

VELMOR_EXPORTED FtStatus FT_GetDeviceInfoList(ListNode *destination, uint32_t *count)
{
    return recording() ? note("FT_GetDeviceInfoList") : copyListing(destination, count);
}

VELMOR_EXPORTED FtStatus FT_Open(int number, FtHandle *handle)
{
    return recording() ? note("FT_Open") : openListed(number, handle);
}

VELMOR_PASSED_ON(FT_Close, (FtHandle handle), (handle))
VELMOR_PASSED_ON(FT_GetDeviceInfo,
                 (FtHandle handle, uint32_t *device, uint32_t *id, char *serial, char *description, void *dummy),
                 (handle, device, id, serial, description, dummy))
VELMOR_PASSED_ON(FT_EE_Read, (FtHandle handle, void *data), (handle, data))
VELMOR_PASSED_ON(FT_EE_Program, (FtHandle handle, void *data), (handle, data))
VELMOR_PASSED_ON(FT_EEPROM_Read,
                 (FtHandle handle, void *data, uint32_t size, char *maker, char *makerId, char *description, char *serial),
                 (handle, data, size, maker, makerId, description, serial))
VELMOR_PASSED_ON(FT_EEPROM_Program,
                 (FtHandle handle, void *data, uint32_t size, char *maker, char *makerId, char *description, char *serial),
                 (handle, data, size, maker, makerId, description, serial))
VELMOR_PASSED_ON(FT_SetBitMode, (FtHandle handle, uint8_t mask, uint8_t mode), (handle, mask, mode))
VELMOR_PASSED_ON(FT_SetBaudRate, (FtHandle handle, uint32_t rate), (handle, rate))
VELMOR_PASSED_ON(FT_SetDataCharacteristics, (FtHandle handle, uint8_t length, uint8_t stopBits, uint8_t parity),
                 (handle, length, stopBits, parity))
VELMOR_PASSED_ON(FT_SetFlowControl, (FtHandle handle, uint16_t flow, uint8_t on, uint8_t off), (handle, flow, on, off))
VELMOR_PASSED_ON(FT_SetLatencyTimer, (FtHandle handle, uint8_t latency), (handle, latency))
VELMOR_PASSED_ON(FT_SetUSBParameters, (FtHandle handle, uint32_t in, uint32_t out), (handle, in, out))
VELMOR_PASSED_ON(FT_Purge, (FtHandle handle, uint32_t mask), (handle, mask))
VELMOR_PASSED_ON(FT_SetTimeouts, (FtHandle handle, uint32_t read, uint32_t write), (handle, read, write))
VELMOR_PASSED_ON(FT_GetQueueStatus, (FtHandle handle, uint32_t *received), (handle, received))
VELMOR_PASSED_ON(FT_GetStatus, (FtHandle handle, uint32_t *received, uint32_t *toSend, uint32_t *events),
                 (handle, received, toSend, events))
VELMOR_PASSED_ON(FT_Read, (FtHandle handle, void *buffer, uint32_t size, uint32_t *read), (handle, buffer, size, read))
VELMOR_PASSED_ON(FT_Write, (FtHandle handle, void *buffer, uint32_t size, uint32_t *written),
                 (handle, buffer, size, written))
VELMOR_PASSED_ON(FT_CyclePort, (FtHandle handle), (handle))
