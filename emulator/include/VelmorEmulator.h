// Control API of the unit emulator, the drop-in D2XX library of the build tree: set up a bench
// of units, make D2XX calls or units misbehave, and inspect what the host did.
//
// Without a bench set here, the emulator builds one from the environment variable
// VELMOR_EMULATOR_BENCH, or else uses a built-in bench covering every supported hardware version.
// That default bench keeps its units' state between processes in a state file: by default
// "velmor-emulator-state" beside the emulator's libftd2xx.so, else the file the variable
// VELMOR_EMULATOR_STATE names; VELMOR_EMULATOR_STATE=off keeps every process's bench its own.
// As with real units, an interface of that bench is open in one process at a time. A bench set
// here (useDefaultBench included) never reads or writes that file. On Windows (ftd2xx.dll) there
// is no state file: every process keeps its default bench its own.
#ifndef VELMOREMULATOR_H
#define VELMOREMULATOR_H

#include "firmware/Unit.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
// ftd2xx.dll exports all its symbols: the tests reach the firmware's classes through it too.
#  define VELMOR_EMULATOR_API
#elif defined(VELMOR_EMULATOR_EXPORTS)
#  define VELMOR_EMULATOR_API __attribute__((visibility("default")))
#else
#  define VELMOR_EMULATOR_API
#endif

namespace VelmorEmulator {

using velmor_firmware::ReceivedPacket;
using velmor_firmware::UnitFault;
using velmor_firmware::UnitSetup;

// D2XX chip type numbers.
enum class Chip : uint32_t { FT232R = 5, FT2232H = 6, FT4232H = 7, FT232H = 8, XSeries = 9 };

// A unit on the bus. An FT2232H shows as two listed interfaces, serial + "A" (data) and
// serial + "B" (serial command line), sharing one location ID; every other chip as one.
struct UnitOnBus
{
    Chip chip = Chip::FT232R;
    std::string serial = "JXah00102";        // in the chip's EEPROM and in the listing
    std::string description = "Velmor Stepper Driver";
    uint32_t locationId = 0;                 // 0: 0x1000 + 0x10 * position on the bench
    uint32_t usbId = 0;                      // 0: vendor 0x0403 and the chip's usual product ID
    bool eepromProgrammed = true;            // false: EEPROM reads answer 15 and carry no serial
    UnitSetup firmware;                      // firmware.usbSerial is set from `serial`

    // A unit on `chip` with this serial number, running firmware major.minor.
    static UnitOnBus of(Chip chip, const std::string &serial, uint16_t firmwareMajor, uint16_t firmwareMinor)
    {
        UnitOnBus unit;
        unit.chip = chip;
        unit.serial = serial;
        unit.firmware.firmwareMajor = firmwareMajor;
        unit.firmware.firmwareMinor = firmwareMinor;
        return unit;
    }
};

// A listed interface with no unit behind it, bytes exactly as given (not zero-terminated
// unless the text says so).
struct BareInterface
{
    uint32_t flags = 0;
    uint32_t type = 5;
    uint32_t id = 0x04036001;
    uint32_t locationId = 0;
    std::string serial;                      // up to 16 bytes
    std::string description;                 // up to 64 bytes
};

struct BenchItem
{
    bool isUnit = true;
    UnitOnBus unit;
    BareInterface bare;

    static BenchItem of(const UnitOnBus &unit) { BenchItem item; item.unit = unit; return item; }
    static BenchItem of(const BareInterface &bare) { BenchItem item; item.isUnit = false; item.bare = bare; return item; }
};

// One D2XX call as the host made it.
struct CallRecord
{
    std::string function;                    // "FT_Open", "FT_SetBaudRate", ...
    std::vector<uint64_t> arguments;         // the numeric arguments after the handle, in order
    int interfaceIndex = -1;                 // position in the info list of the interface addressed; -1 none
    uint32_t status = 0;                     // what the call answered
    std::chrono::steady_clock::time_point time;
    std::thread::id thread;                  // the host thread that made the call
};

// The settings the host made on one interface.
struct InterfaceSettings
{
    bool open = false;
    uint32_t baudRate = 0;
    uint8_t wordLength = 0, stopBits = 0, parity = 0;
    uint16_t flowControl = 0;
    uint8_t latencyMs = 16;
    uint8_t bitMask = 0, bitMode = 0;
    uint32_t inTransferSize = 0, outTransferSize = 0;
    uint32_t readTimeoutMs = 0, writeTimeoutMs = 0;
};

struct OpenHandle
{
    void *handle = nullptr;
    int interfaceIndex = -1;
};

// Bench
VELMOR_EMULATOR_API void setBench(const std::vector<BenchItem> &items);
VELMOR_EMULATOR_API void setBench(const std::vector<UnitOnBus> &units);
VELMOR_EMULATOR_API void useDefaultBench();
// The listing the next FT_GetDeviceInfoList reports, as if the bus changed right after the
// FT_CreateDeviceInfoList before it.
VELMOR_EMULATOR_API void changeBenchBeforeNextListFetch(const std::vector<BenchItem> &items);
VELMOR_EMULATOR_API size_t unitCount();
// The unit behind a listed interface position; -1 for none.
VELMOR_EMULATOR_API int unitOfInterface(int interfaceIndex);

// D2XX call faults: the named call answers `status` instead of working, after `skip` calls
// that pass, for `times` calls (-1: every call from then on).
VELMOR_EMULATOR_API void failCall(const std::string &function, uint32_t status, int skip = 0, int times = -1);
VELMOR_EMULATOR_API void clearCallFailures();
// The next `times` FT_Read calls return at once with what is ready, as a read whose time-out
// has run out does: a short count when fewer bytes are there than asked for.
VELMOR_EMULATOR_API void expireNextReads(int times = 1);
// After `skip` FT_Write calls that go through, the next `times` stop one byte short, as a write
// whose time-out has run out: the unit gets all but the last byte (-1: every write from then on).
VELMOR_EMULATOR_API void expireNextWrites(int times = 1, int skip = 0);

// Unit faults and state
VELMOR_EMULATOR_API void addUnitFault(size_t unit, const UnitFault &fault);
VELMOR_EMULATOR_API void clearUnitFaults(size_t unit);
VELMOR_EMULATOR_API void unplug(size_t unit);
// A unit unplugged before is listed again where it was, its interfaces closed, as after
// plugging its cable in again; its firmware has kept running (a unit with its own supply).
VELMOR_EMULATOR_API void plug(size_t unit);
// The unit's firmware, for its own controls and inspection. Callers must not use it while
// another thread makes D2XX calls.
VELMOR_EMULATOR_API velmor_firmware::Unit &unit(size_t unit);
// Data the unit streams on interface A of its FT2232H, as far as the host's grants allow.
VELMOR_EMULATOR_API void streamData(size_t unit, const std::vector<uint8_t> &bytes);

// Inspection
VELMOR_EMULATOR_API std::vector<CallRecord> calls();
// Also restarts the handle watch below.
VELMOR_EMULATOR_API void clearCalls();
VELMOR_EMULATOR_API std::vector<OpenHandle> openHandles();
// The handle watch, since the last clearCalls() (or setBench): the most handles open at one
// time, and the D2XX calls a thread made while a handle that another thread opened was open.
VELMOR_EMULATOR_API size_t mostHandlesOpenAtOnce();
VELMOR_EMULATOR_API size_t callsBesideAnotherThreadsHandle();
VELMOR_EMULATOR_API InterfaceSettings interfaceSettings(int interfaceIndex);
VELMOR_EMULATOR_API std::vector<ReceivedPacket> receivedPackets(size_t unit);
// What the emulator told standard error about its setup in this process (each message once):
// bench entries it left out, a state file it cannot use or found damaged.
VELMOR_EMULATOR_API std::vector<std::string> diagnostics();

} // namespace VelmorEmulator

#endif // VELMOREMULATOR_H
