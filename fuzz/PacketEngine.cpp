// libFuzzer target: see FuzzEntries::packetEngine.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::packetEngine)
