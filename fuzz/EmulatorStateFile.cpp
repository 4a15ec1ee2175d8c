// libFuzzer target: see FuzzEntries::emulatorStateFile.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::emulatorStateFile)
