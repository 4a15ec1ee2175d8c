// The subset of FTDI's D2XX library that the transport calls, declared by us to its published
// C ABI: the same type sizes, field order, constant values and function signatures. The
// emulator implements exactly these declarations.
#ifndef FTDILIBRARY_H
#define FTDILIBRARY_H

#include <stdint.h>

#if defined(_WIN32)
#  define FTDI_CALL __stdcall
#  if defined(VELMOR_FTDI_EXPORTS)
#    define FTDI_API __declspec(dllexport)
#  elif defined(FTD2XX_STATIC)
// FTDI's own switch for its static library, whose functions no DLL exports.
#    define FTDI_API
#  else
#    define FTDI_API __declspec(dllimport)
#  endif
#else
#  define FTDI_CALL
#  if defined(VELMOR_FTDI_EXPORTS)
#    define FTDI_API __attribute__((visibility("default")))
#  else
#    define FTDI_API
#  endif
#endif

// VELMOR_FTDI_CHECK is for the check of these declarations against FTDI's own header, which
// declares the same global names: the types go into namespace ours and each function becomes a
// pointer type, FT_Open_t for FT_Open. Every type, constant and function here is listed in
// tests/d2xx/LayoutCheck.cpp.
#if defined(VELMOR_FTDI_CHECK)
#  define FTDI_DECLARATIONS_BEGIN namespace ours {
#  define FTDI_DECLARATIONS_END }
#  define FTDI_FUNCTION(name, parameters) typedef FT_STATUS(FTDI_CALL *name##_t) parameters;
#else
#  if defined(__cplusplus)
#    define FTDI_DECLARATIONS_BEGIN extern "C" {
#    define FTDI_DECLARATIONS_END }
#  else
#    define FTDI_DECLARATIONS_BEGIN
#    define FTDI_DECLARATIONS_END
#  endif
#  define FTDI_FUNCTION(name, parameters) FTDI_API FT_STATUS FTDI_CALL name parameters;
#endif

FTDI_DECLARATIONS_BEGIN

// D2XX's own integer names. On Linux DWORD and ULONG are 32-bit; on 64-bit Windows ULONG is
// 32-bit too (LLP64), so one set of widths serves both.
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint16_t WORD;
typedef uint16_t USHORT;
typedef uint8_t UCHAR;
typedef DWORD *LPDWORD;
typedef void *LPVOID;
typedef void *PVOID;
typedef char *PCHAR;

typedef PVOID FT_HANDLE;
typedef ULONG FT_STATUS;
typedef ULONG FT_DEVICE;

enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
    FT_DEVICE_LIST_NOT_READY = 19
};

enum {
    FT_DEVICE_BM = 0,
    FT_DEVICE_AM = 1,
    FT_DEVICE_100AX = 2,
    FT_DEVICE_UNKNOWN = 3,
    FT_DEVICE_2232C = 4,
    FT_DEVICE_232R = 5,
    FT_DEVICE_2232H = 6,
    FT_DEVICE_4232H = 7,
    FT_DEVICE_232H = 8,
    FT_DEVICE_X_SERIES = 9
};

#define FT_FLAGS_OPENED 1
#define FT_FLAGS_HISPEED 2

#define FT_BITS_8 ((UCHAR)8)
#define FT_BITS_7 ((UCHAR)7)
#define FT_STOP_BITS_1 ((UCHAR)0)
#define FT_STOP_BITS_2 ((UCHAR)2)
#define FT_PARITY_NONE ((UCHAR)0)
#define FT_PARITY_ODD ((UCHAR)1)
#define FT_PARITY_EVEN ((UCHAR)2)
#define FT_PARITY_MARK ((UCHAR)3)
#define FT_PARITY_SPACE ((UCHAR)4)

#define FT_FLOW_NONE 0x0000
#define FT_FLOW_RTS_CTS 0x0100
#define FT_FLOW_DTR_DSR 0x0200
#define FT_FLOW_XON_XOFF 0x0400

#define FT_PURGE_RX 1
#define FT_PURGE_TX 2

#define FT_BITMODE_RESET 0x00
#define FT_BITMODE_SYNC_FIFO 0x40

typedef struct _ft_device_list_info_node {
    ULONG Flags;
    ULONG Type;
    ULONG ID;
    DWORD LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
} FT_DEVICE_LIST_INFO_NODE;

typedef struct ft_program_data {
    DWORD Signature1;  // 0x00000000
    DWORD Signature2;  // 0xFFFFFFFF
    DWORD Version;     // 2 for FT232R, 3 for FT2232H, 5 for FT232H
    WORD VendorId;
    WORD ProductId;
    char *Manufacturer;
    char *ManufacturerId;
    char *Description;
    char *SerialNumber;
    WORD MaxPower;     // mA
    WORD PnP;
    WORD SelfPowered;
    WORD RemoteWakeup;
    // FT232B
    UCHAR Rev4;
    UCHAR IsoIn;
    UCHAR IsoOut;
    UCHAR PullDownEnable;
    UCHAR SerNumEnable;
    UCHAR USBVersionEnable;
    WORD USBVersion;
    // FT2232
    UCHAR Rev5;
    UCHAR IsoInA;
    UCHAR IsoInB;
    UCHAR IsoOutA;
    UCHAR IsoOutB;
    UCHAR PullDownEnable5;
    UCHAR SerNumEnable5;
    UCHAR USBVersionEnable5;
    WORD USBVersion5;
    UCHAR AIsHighCurrent;
    UCHAR BIsHighCurrent;
    UCHAR IFAIsFifo;
    UCHAR IFAIsFifoTar;
    UCHAR IFAIsFastSer;
    UCHAR AIsVCP;
    UCHAR IFBIsFifo;
    UCHAR IFBIsFifoTar;
    UCHAR IFBIsFastSer;
    UCHAR BIsVCP;
    // FT232R
    UCHAR UseExtOsc;
    UCHAR HighDriveIOs;
    UCHAR EndpointSize;
    UCHAR PullDownEnableR;
    UCHAR SerNumEnableR;
    UCHAR InvertTXD;
    UCHAR InvertRXD;
    UCHAR InvertRTS;
    UCHAR InvertCTS;
    UCHAR InvertDTR;
    UCHAR InvertDSR;
    UCHAR InvertDCD;
    UCHAR InvertRI;
    UCHAR Cbus0;
    UCHAR Cbus1;
    UCHAR Cbus2;
    UCHAR Cbus3;
    UCHAR Cbus4;
    UCHAR RIsD2XX;
    // FT2232H
    UCHAR PullDownEnable7;
    UCHAR SerNumEnable7;
    UCHAR ALSlowSlew;
    UCHAR ALSchmittInput;
    UCHAR ALDriveCurrent;
    UCHAR AHSlowSlew;
    UCHAR AHSchmittInput;
    UCHAR AHDriveCurrent;
    UCHAR BLSlowSlew;
    UCHAR BLSchmittInput;
    UCHAR BLDriveCurrent;
    UCHAR BHSlowSlew;
    UCHAR BHSchmittInput;
    UCHAR BHDriveCurrent;
    UCHAR IFAIsFifo7;
    UCHAR IFAIsFifoTar7;
    UCHAR IFAIsFastSer7;
    UCHAR AIsVCP7;
    UCHAR IFBIsFifo7;
    UCHAR IFBIsFifoTar7;
    UCHAR IFBIsFastSer7;
    UCHAR BIsVCP7;
    UCHAR PowerSaveEnable;
    // FT4232H
    UCHAR PullDownEnable8;
    UCHAR SerNumEnable8;
    UCHAR ASlowSlew;
    UCHAR ASchmittInput;
    UCHAR ADriveCurrent;
    UCHAR BSlowSlew;
    UCHAR BSchmittInput;
    UCHAR BDriveCurrent;
    UCHAR CSlowSlew;
    UCHAR CSchmittInput;
    UCHAR CDriveCurrent;
    UCHAR DSlowSlew;
    UCHAR DSchmittInput;
    UCHAR DDriveCurrent;
    UCHAR ARIIsTXDEN;
    UCHAR BRIIsTXDEN;
    UCHAR CRIIsTXDEN;
    UCHAR DRIIsTXDEN;
    UCHAR AIsVCP8;
    UCHAR BIsVCP8;
    UCHAR CIsVCP8;
    UCHAR DIsVCP8;
    // FT232H
    UCHAR PullDownEnableH;
    UCHAR SerNumEnableH;
    UCHAR ACSlowSlewH;
    UCHAR ACSchmittInputH;
    UCHAR ACDriveCurrentH;
    UCHAR ADSlowSlewH;
    UCHAR ADSchmittInputH;
    UCHAR ADDriveCurrentH;
    UCHAR Cbus0H;
    UCHAR Cbus1H;
    UCHAR Cbus2H;
    UCHAR Cbus3H;
    UCHAR Cbus4H;
    UCHAR Cbus5H;
    UCHAR Cbus6H;
    UCHAR Cbus7H;
    UCHAR Cbus8H;
    UCHAR Cbus9H;
    UCHAR IsFifoH;
    UCHAR IsFifoTarH;
    UCHAR IsFastSerH;
    UCHAR IsFT1248H;
    UCHAR FT1248CpolH;
    UCHAR FT1248LsbH;
    UCHAR FT1248FlowControlH;
    UCHAR IsVCPH;
    UCHAR PowerSaveEnableH;
} FT_PROGRAM_DATA, *PFT_PROGRAM_DATA;

typedef struct ft_eeprom_header {
    FT_DEVICE deviceType;
    WORD VendorId;
    WORD ProductId;
    UCHAR SerNumEnable;
    WORD MaxPower;
    UCHAR SelfPowered;
    UCHAR RemoteWakeup;
    UCHAR PullDownEnable;
} FT_EEPROM_HEADER;

typedef struct ft_eeprom_x_series {
    FT_EEPROM_HEADER common;
    UCHAR ACSlowSlew;
    UCHAR ACSchmittInput;
    UCHAR ACDriveCurrent;
    UCHAR ADSlowSlew;
    UCHAR ADSchmittInput;
    UCHAR ADDriveCurrent;
    UCHAR Cbus0;
    UCHAR Cbus1;
    UCHAR Cbus2;
    UCHAR Cbus3;
    UCHAR Cbus4;
    UCHAR Cbus5;
    UCHAR Cbus6;
    UCHAR InvertTXD;
    UCHAR InvertRXD;
    UCHAR InvertRTS;
    UCHAR InvertCTS;
    UCHAR InvertDTR;
    UCHAR InvertDSR;
    UCHAR InvertDCD;
    UCHAR InvertRI;
    UCHAR BCDEnable;
    UCHAR BCDForceCbusPWREN;
    UCHAR BCDDisableSleep;
    WORD I2CSlaveAddress;
    DWORD I2CDeviceId;
    UCHAR I2CDisableSchmitt;
    UCHAR FT1248Cpol;
    UCHAR FT1248Lsb;
    UCHAR FT1248FlowControl;
    UCHAR RS485EchoSuppress;
    UCHAR PowerSaveEnable;
    UCHAR DriverType;
} FT_EEPROM_X_SERIES;

FTDI_FUNCTION(FT_CreateDeviceInfoList, (LPDWORD lpdwNumDevs))
FTDI_FUNCTION(FT_GetDeviceInfoList, (FT_DEVICE_LIST_INFO_NODE *pDest, LPDWORD lpdwNumDevs))
FTDI_FUNCTION(FT_Open, (int deviceNumber, FT_HANDLE *pHandle))
FTDI_FUNCTION(FT_Close, (FT_HANDLE ftHandle))
FTDI_FUNCTION(FT_GetDeviceInfo, (FT_HANDLE ftHandle, FT_DEVICE *lpftDevice, LPDWORD lpdwID, PCHAR SerialNumber,
                                 PCHAR Description, LPVOID Dummy))
FTDI_FUNCTION(FT_EE_Read, (FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData))
FTDI_FUNCTION(FT_EE_Program, (FT_HANDLE ftHandle, PFT_PROGRAM_DATA pData))
FTDI_FUNCTION(FT_EEPROM_Read, (FT_HANDLE ftHandle, void *eepromData, DWORD eepromDataSize, char *Manufacturer,
                               char *ManufacturerId, char *Description, char *SerialNumber))
FTDI_FUNCTION(FT_EEPROM_Program, (FT_HANDLE ftHandle, void *eepromData, DWORD eepromDataSize, char *Manufacturer,
                                  char *ManufacturerId, char *Description, char *SerialNumber))
FTDI_FUNCTION(FT_SetBitMode, (FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable))
FTDI_FUNCTION(FT_SetBaudRate, (FT_HANDLE ftHandle, ULONG BaudRate))
FTDI_FUNCTION(FT_SetDataCharacteristics, (FT_HANDLE ftHandle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity))
FTDI_FUNCTION(FT_SetFlowControl, (FT_HANDLE ftHandle, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar))
FTDI_FUNCTION(FT_SetLatencyTimer, (FT_HANDLE ftHandle, UCHAR ucLatency))
FTDI_FUNCTION(FT_SetUSBParameters, (FT_HANDLE ftHandle, ULONG ulInTransferSize, ULONG ulOutTransferSize))
FTDI_FUNCTION(FT_Purge, (FT_HANDLE ftHandle, ULONG Mask))
FTDI_FUNCTION(FT_SetTimeouts, (FT_HANDLE ftHandle, ULONG ReadTimeout, ULONG WriteTimeout))
FTDI_FUNCTION(FT_GetQueueStatus, (FT_HANDLE ftHandle, DWORD *dwRxBytes))
FTDI_FUNCTION(FT_GetStatus, (FT_HANDLE ftHandle, DWORD *dwRxBytes, DWORD *dwTxBytes, DWORD *dwEventDWord))
FTDI_FUNCTION(FT_Read, (FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned))
FTDI_FUNCTION(FT_Write, (FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite, LPDWORD lpBytesWritten))
FTDI_FUNCTION(FT_CyclePort, (FT_HANDLE ftHandle))

FTDI_DECLARATIONS_END

#endif // FTDILIBRARY_H
