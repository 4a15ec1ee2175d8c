#include "StartedBench.h"

#include "VelmorLib.h"

#include <gtest/gtest.h>

namespace bench {

void startUnits(const std::vector<UnitOnBus> &units)
{
    set(units);
    ASSERT_EQ(initialise(), VELMOR_OK);
    for (size_t index = 1; index <= units.size(); ++index)
        ASSERT_EQ(motorOn(int32_t(index)), VELMOR_OK) << "the handshake of unit " << index;
}

} // namespace bench
