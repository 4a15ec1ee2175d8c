// The bench most end-to-end tests start from: the units set, the library initialised and each
// unit's start-up handshake run once through motorOn, so that a test's own calls pay none.
#ifndef VELMOR_TESTS_STARTEDBENCH_H
#define VELMOR_TESTS_STARTEDBENCH_H

#include "Bench.h"

namespace bench {

void startUnits(const std::vector<UnitOnBus> &units);

} // namespace bench

#endif
