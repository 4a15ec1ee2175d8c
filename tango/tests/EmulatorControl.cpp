// Unplugging and plugging in the emulator's units, and the ready byte they report, from tests
// written in Python (through ctypes):
// the control API is C++, these are plain C functions over it. Loaded into the process that
// serves the units, this library shares the emulator the VelmorLib there loads.
#include <VelmorEmulator.h>

#include <cstddef>
#include <exception>
#include <optional>

#define VELMOR_CONTROL_EXPORT extern "C" __attribute__((visibility("default")))

// unit: 0-based position on the bench. 0 when done, -1 when the emulator refused.
VELMOR_CONTROL_EXPORT int velmorTestUnplug(int unit)
{
    try {
        VelmorEmulator::unplug(static_cast<size_t>(unit));
        return 0;
    } catch (const std::exception &) {
        return -1;
    }
}

VELMOR_CONTROL_EXPORT int velmorTestPlug(int unit)
{
    try {
        VelmorEmulator::plug(static_cast<size_t>(unit));
        return 0;
    } catch (const std::exception &) {
        return -1;
    }
}

// The ready byte the unit's motor information reports from now on; -1: its own again.
VELMOR_CONTROL_EXPORT int velmorTestForceReadyByte(int unit, int readyByte)
{
    try {
        std::optional<uint8_t> forced;
        if (readyByte >= 0)
            forced = static_cast<uint8_t>(readyByte);
        VelmorEmulator::unit(static_cast<size_t>(unit)).forceReadyByte(forced);
        return 0;
    } catch (const std::exception &) {
        return -1;
    }
}
