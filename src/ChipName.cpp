#include "ChipName.h"

#include "FtdiLibrary.h"

const char *ChipName::of(uint32_t chipType)
{
    switch (chipType) {
    case FT_DEVICE_232R: return "FT232R";
    case FT_DEVICE_2232H: return "FT2232H";
    case FT_DEVICE_4232H: return "FT4232H";
    case FT_DEVICE_232H: return "FT232H";
    case FT_DEVICE_X_SERIES: return "X-series";
    default: return "unknown";
    }
}
