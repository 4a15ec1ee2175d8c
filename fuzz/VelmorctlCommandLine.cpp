// libFuzzer target: see FuzzEntries::velmorctlCommandLine.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::velmorctlCommandLine)
