// The D2XX functions the transport calls, as a table of pointers into the D2XX library in use.
// Each entry has the type of the function that src/FtdiLibrary.h declares.
#ifndef FTDIFUNCTIONS_H
#define FTDIFUNCTIONS_H

#include "FtdiLibrary.h"

// Every D2XX function the transport calls, once.
#define VELMOR_FTDI_FUNCTIONS(X) \
    X(FT_CreateDeviceInfoList) \
    X(FT_GetDeviceInfoList) \
    X(FT_Open) \
    X(FT_Close) \
    X(FT_GetDeviceInfo) \
    X(FT_EE_Read) \
    X(FT_EE_Program) \
    X(FT_EEPROM_Read) \
    X(FT_EEPROM_Program) \
    X(FT_SetBitMode) \
    X(FT_SetBaudRate) \
    X(FT_SetDataCharacteristics) \
    X(FT_SetFlowControl) \
    X(FT_SetLatencyTimer) \
    X(FT_SetUSBParameters) \
    X(FT_Purge) \
    X(FT_SetTimeouts) \
    X(FT_GetQueueStatus) \
    X(FT_GetStatus) \
    X(FT_Read) \
    X(FT_Write) \
    X(FT_CyclePort)

struct FtdiFunctions
{
#define VELMOR_FTDI_FUNCTION_POINTER(name) decltype(&::name) name = nullptr;
    VELMOR_FTDI_FUNCTIONS(VELMOR_FTDI_FUNCTION_POINTER)
#undef VELMOR_FTDI_FUNCTION_POINTER
};

#endif // FTDIFUNCTIONS_H
