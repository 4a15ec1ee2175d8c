// libFuzzer target: see FuzzEntries::velmorctlShell.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::velmorctlShell)
