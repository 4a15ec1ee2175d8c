// libFuzzer target: see FuzzEntries::records.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::records)
