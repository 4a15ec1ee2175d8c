// The D2XX calls the emulator recorded, as short lines ("FT_SetBitMode 255 64") that tests
// compare against expected sequences.
#ifndef VELMOR_TESTS_CALLTRACE_H
#define VELMOR_TESTS_CALLTRACE_H

#include "VelmorEmulator.h"

#include <string>
#include <vector>

namespace trace {

std::string line(const VelmorEmulator::CallRecord &call);
// Every call recorded since the last VelmorEmulator::clearCalls().
std::vector<std::string> lines();
// Only the calls to `function`.
std::vector<VelmorEmulator::CallRecord> callsTo(const std::string &function);
size_t countOf(const std::string &function);

} // namespace trace

#endif
