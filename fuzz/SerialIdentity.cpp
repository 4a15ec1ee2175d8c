// libFuzzer target: see FuzzEntries::serialIdentity.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::serialIdentity)
