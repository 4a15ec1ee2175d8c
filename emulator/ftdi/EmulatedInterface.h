// One interface as the FTDI chip presents it: its list entry, its EEPROM, the settings the
// host made, and the bytes on their way to the host.
#ifndef VELMOR_EMULATOR_EMULATEDINTERFACE_H
#define VELMOR_EMULATOR_EMULATEDINTERFACE_H

#include "VelmorEmulator.h"

#include <deque>
#include <memory>

namespace VelmorEmulator {

struct PendingByte
{
    std::chrono::steady_clock::time_point readyTime;
    uint8_t value;
};

// The serial command line of a unit, or the data interface A of an FT2232H.
enum class InterfaceRole { CommandLine, DataStream, Bare };

struct EmulatedInterface
{
    // List entry
    uint32_t type = 0;
    uint32_t id = 0;
    uint32_t locationId = 0;
    std::string listedSerial;
    std::string listedDescription;

    // EEPROM
    bool eepromProgrammed = false;
    std::string eepromSerial;
    std::string eepromDescription;
    std::string manufacturer = "Velmor";
    std::string manufacturerId = "VM";
    uint16_t maxPower = 100;
    bool selfPowered = false;

    InterfaceRole role = InterfaceRole::Bare;
    int unitIndex = -1;                       // -1 for a bare interface
    std::shared_ptr<velmor_firmware::Unit> unit;

    // Host side
    void *handle = nullptr;
    std::thread::id opener;                   // the host thread that opened the handle
    bool cycled = false;                      // FT_CyclePort called: only FT_Close is accepted
    bool detached = false;                    // its unit was unplugged while the handle was open
    InterfaceSettings settings;
    std::deque<PendingByte> toHost;

    // Data interface A: bytes the unit will stream, and what the current grant still allows.
    // The first streamReleased bytes have been released under a grant and are ready for the host.
    std::deque<uint8_t> streamSource;
    size_t streamReleased = 0;
    uint32_t grantRemaining = 0;

    bool isOpen() const { return handle != nullptr; }
};

} // namespace VelmorEmulator

#endif
