// Short builders for the misbehaviours of a unit, each on the requests of one command code (or
// the raw start byte 03).
#ifndef VELMOR_TESTS_UNITFAULTS_H
#define VELMOR_TESTS_UNITFAULTS_H

#include "VelmorEmulator.h"

#include <cstdint>
#include <vector>

namespace faults {

using VelmorEmulator::UnitFault;

UnitFault silence(int commandCode);
UnitFault late(int commandCode, uint32_t delayMs);
UnitFault wrongId(int commandCode);
UnitFault wrongLength(int commandCode, int lengthDelta);
UnitFault corruptType(int commandCode, uint8_t typeByte = 0x06);
UnitFault cutOff(int commandCode, int bytesSent);
UnitFault type07(int commandCode, const std::vector<uint8_t> &data = {0xAA, 0xBB});
UnitFault unsolicitedFirst(int commandCode, uint32_t id = 7777);
UnitFault streamPacketFirst(int commandCode);
UnitFault reply(int commandCode, uint8_t status, const std::vector<uint8_t> &data = {});
UnitFault unplug(int commandCode);

UnitFault skipping(UnitFault fault, int skip);

// An information page of `pageSize` zero bytes and its two trailing check bytes.
std::vector<uint8_t> zeroPage(uint16_t pageSize, uint8_t lastCheckByte = 0xFF);

} // namespace faults

#endif
