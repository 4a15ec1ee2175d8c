// Preloaded into velmorctl by the tests that must see it make no D2XX call at all: every D2XX
// function the library calls is shadowed by one that notes its name in the file that
// VELMORCTL_TEST_D2XX_LOG names and answers FT_OTHER_ERROR. The arguments are never read, so
// none of the functions needs D2XX's parameter list.
#include <cstdio>
#include <cstdlib>

namespace {

unsigned int note(const char *function)
{
    const char *path = std::getenv("VELMORCTL_TEST_D2XX_LOG");
    if (path != nullptr) {
        if (std::FILE *log = std::fopen(path, "a")) {
            std::fprintf(log, "%s\n", function);
            std::fclose(log);
        }
    }
    return 18;
}

} // namespace

#define VELMOR_RECORDED(name) \
    extern "C" __attribute__((visibility("default"))) unsigned int name() { return note(#name); }

VELMOR_RECORDED(FT_CreateDeviceInfoList)
VELMOR_RECORDED(FT_GetDeviceInfoList)
VELMOR_RECORDED(FT_Open)
VELMOR_RECORDED(FT_Close)
VELMOR_RECORDED(FT_GetDeviceInfo)
VELMOR_RECORDED(FT_EE_Read)
VELMOR_RECORDED(FT_EE_Program)
VELMOR_RECORDED(FT_EEPROM_Read)
VELMOR_RECORDED(FT_EEPROM_Program)
VELMOR_RECORDED(FT_SetBitMode)
VELMOR_RECORDED(FT_SetBaudRate)
VELMOR_RECORDED(FT_SetDataCharacteristics)
VELMOR_RECORDED(FT_SetFlowControl)
VELMOR_RECORDED(FT_SetLatencyTimer)
VELMOR_RECORDED(FT_SetUSBParameters)
VELMOR_RECORDED(FT_Purge)
VELMOR_RECORDED(FT_SetTimeouts)
VELMOR_RECORDED(FT_GetQueueStatus)
VELMOR_RECORDED(FT_GetStatus)
VELMOR_RECORDED(FT_Read)
VELMOR_RECORDED(FT_Write)
VELMOR_RECORDED(FT_CyclePort)
