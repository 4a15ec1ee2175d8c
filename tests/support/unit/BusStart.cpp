#include "BusStart.h"

#include "FtdiLibrary.h"

#include <gtest/gtest.h>

void startOverTheBus(int interface)
{
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(interface, &handle), FT_OK);
    FT_SetBaudRate(handle, 500000);
    FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_EVEN);
    FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0);
    uint8_t start = 0x03;
    DWORD written = 0;
    EXPECT_EQ(FT_Write(handle, &start, 1, &written), FT_OK);
    EXPECT_EQ(FT_Close(handle), FT_OK);
}
