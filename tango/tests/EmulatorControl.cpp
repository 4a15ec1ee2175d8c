// Unplugging and plugging in the emulator's units, the ready byte they report, what they heard
// and the handles left open, from tests written in Python (through ctypes):
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

// How many requests the unit understood since the bench was set up (the start command and
// packets); the first `capacity` of them go to `codes`: a packet's command code, 0 for the start
// command. -1 when the emulator refused.
VELMOR_CONTROL_EXPORT int velmorTestRequestsHeard(int unit, unsigned char *codes, int capacity)
{
    try {
        int heard = 0;
        for (const VelmorEmulator::ReceivedPacket &packet : VelmorEmulator::receivedPackets(static_cast<size_t>(unit))) {
            if (packet.hearing != VelmorEmulator::ReceivedPacket::Understood)
                continue;
            if (codes != nullptr && heard < capacity)
                codes[heard] = packet.raw ? 0 : packet.commandCode;
            ++heard;
        }
        return heard;
    } catch (const std::exception &) {
        return -1;
    }
}

// The D2XX handles open now, over every unit.
VELMOR_CONTROL_EXPORT int velmorTestOpenHandles()
{
    try {
        return static_cast<int>(VelmorEmulator::openHandles().size());
    } catch (const std::exception &) {
        return -1;
    }
}
