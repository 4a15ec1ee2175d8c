// libFuzzer target: see FuzzEntries::emulatorBenchText.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::emulatorBenchText)
