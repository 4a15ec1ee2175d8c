// Placeholder unit: silent. The firmware core replaces it.
#include "Unit.h"

namespace velmor_firmware {

struct Unit::Private
{
    UnitSetup setup;
    std::vector<UnitFault> faults;
    std::vector<ReceivedPacket> received;
};

Unit::Unit(const UnitSetup &setup)
    : d(new Private)
{
    d->setup = setup;
}

Unit::~Unit() = default;

const UnitSetup &Unit::setup() const { return d->setup; }

SerialLine Unit::expectedLine() const
{
    SerialLine line;
    line.baudRate = 500000;
    line.dataBits = 8;
    line.stopBits = 0;
    line.parity = 2;
    line.rtsCts = d->setup.usbSerial.size() > 2 && (d->setup.usbSerial[2] == 'b' || d->setup.usbSerial[2] == 'B');
    return line;
}

std::vector<Transmission> Unit::receive(const uint8_t *, size_t, TimePoint, const SerialLine &) { return {}; }
bool Unit::unplugged() const { return false; }
void Unit::addFault(const UnitFault &fault) { d->faults.push_back(fault); }
void Unit::clearFaults() { d->faults.clear(); }
std::vector<ReceivedPacket> Unit::receivedPackets() const { return d->received; }
void Unit::clearReceivedPackets() { d->received.clear(); }
void Unit::powerCycle() {}

} // namespace velmor_firmware
