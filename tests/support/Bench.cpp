#include "Bench.h"

namespace bench {

UnitOnBus unit(Chip chip, const std::string &serial, uint16_t firmwareMajor, uint16_t firmwareMinor)
{
    return UnitOnBus::of(chip, serial, firmwareMajor, firmwareMinor);
}

UnitOnBus ft232r(const std::string &serial, uint16_t firmwareMajor, uint16_t firmwareMinor)
{
    return unit(Chip::FT232R, serial, firmwareMajor, firmwareMinor);
}

BareInterface bare(uint32_t type, uint32_t id, uint32_t locationId, const std::string &serial, const std::string &description)
{
    BareInterface result;
    result.type = type;
    result.id = id;
    result.locationId = locationId;
    result.serial = serial;
    result.description = description;
    return result;
}

void set(const std::vector<BenchItem> &items)
{
    VelmorEmulator::setBench(items);
    VelmorEmulator::clearCalls();
    VelmorEmulator::clearCallFailures();
}

void set(const std::vector<UnitOnBus> &units)
{
    VelmorEmulator::setBench(units);
    VelmorEmulator::clearCalls();
    VelmorEmulator::clearCallFailures();
}

size_t startCommandsReceived(size_t unit)
{
    size_t count = 0;
    for (const velmor_firmware::ReceivedPacket &packet : VelmorEmulator::receivedPackets(unit)) {
        if (packet.raw && packet.hearing == velmor_firmware::ReceivedPacket::Understood
            && packet.bytes == std::vector<uint8_t>{0x03})
            ++count;
    }
    return count;
}

} // namespace bench
