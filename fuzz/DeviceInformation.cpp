// libFuzzer target: see FuzzEntries::deviceInformation.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::deviceInformation)
