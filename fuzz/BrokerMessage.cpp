// libFuzzer target: see FuzzEntries::brokerMessage.
#include "FuzzMain.h"

VELMOR_FUZZ_TARGET(FuzzEntries::brokerMessage)
