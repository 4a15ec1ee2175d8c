// Small builders for emulated benches.
#ifndef VELMOR_TESTS_BENCH_H
#define VELMOR_TESTS_BENCH_H

#include "VelmorEmulator.h"

namespace bench {

using VelmorEmulator::BareInterface;
using VelmorEmulator::BenchItem;
using VelmorEmulator::Chip;
using VelmorEmulator::UnitOnBus;

UnitOnBus unit(Chip chip, const std::string &serial, uint16_t firmwareMajor = 2, uint16_t firmwareMinor = 1);
// An FT232R unit of hardware 1.2 running firmware 2.1 unless told otherwise.
UnitOnBus ft232r(const std::string &serial = "JXah00102", uint16_t firmwareMajor = 2, uint16_t firmwareMinor = 1);
BareInterface bare(uint32_t type, uint32_t id, uint32_t locationId, const std::string &serial,
                   const std::string &description = "bare");

// How many bootloader start commands (the raw byte 03) the unit heard.
size_t startCommandsReceived(size_t unit);

// Sets the bench and forgets every call recorded so far.
void set(const std::vector<BenchItem> &items);
void set(const std::vector<UnitOnBus> &units);

} // namespace bench

#endif
