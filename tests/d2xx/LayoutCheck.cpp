// Checks our declarations of the D2XX subset (src/FtdiLibrary.h) against FTDI's own ftd2xx.h at
// compile time: every type the same, every record the same size, alignment, field count and
// field offsets and field types, every constant the same value, every function the same
// signature. Any difference fails the build. Linked against FTDI's libftd2xx.so, the program
// also proves that the library exports every function we call, and running it that it loads.
#include <ftd2xx.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

// FTDI's constants that are macros: their values are kept here, as theirs::FT_BITS_8_ for
// FT_BITS_8, then the macros are dropped so that our header can define its own. (Pasting keeps
// the name from being expanded as a macro.)
namespace theirs {
#define VELMOR_KEEP(name) constexpr auto name##_ = (name);
VELMOR_KEEP(FT_FLAGS_OPENED)
VELMOR_KEEP(FT_FLAGS_HISPEED)
VELMOR_KEEP(FT_BITS_8)
VELMOR_KEEP(FT_BITS_7)
VELMOR_KEEP(FT_STOP_BITS_1)
VELMOR_KEEP(FT_STOP_BITS_2)
VELMOR_KEEP(FT_PARITY_NONE)
VELMOR_KEEP(FT_PARITY_ODD)
VELMOR_KEEP(FT_PARITY_EVEN)
VELMOR_KEEP(FT_PARITY_MARK)
VELMOR_KEEP(FT_PARITY_SPACE)
VELMOR_KEEP(FT_FLOW_NONE)
VELMOR_KEEP(FT_FLOW_RTS_CTS)
VELMOR_KEEP(FT_FLOW_DTR_DSR)
VELMOR_KEEP(FT_FLOW_XON_XOFF)
VELMOR_KEEP(FT_PURGE_RX)
VELMOR_KEEP(FT_PURGE_TX)
VELMOR_KEEP(FT_BITMODE_RESET)
VELMOR_KEEP(FT_BITMODE_SYNC_FIFO)
#undef VELMOR_KEEP
} // namespace theirs

#undef FT_BITS_8
#undef FT_BITS_7
#undef FT_STOP_BITS_1
#undef FT_STOP_BITS_2
#undef FT_PARITY_NONE
#undef FT_PARITY_ODD
#undef FT_PARITY_EVEN
#undef FT_PARITY_MARK
#undef FT_PARITY_SPACE
#undef FT_FLOW_NONE
#undef FT_FLOW_RTS_CTS
#undef FT_FLOW_DTR_DSR
#undef FT_FLOW_XON_XOFF
#undef FT_PURGE_RX
#undef FT_PURGE_TX
#undef FT_BITMODE_RESET
#undef FT_BITMODE_SYNC_FIFO

#define VELMOR_FTDI_CHECK
#include "FtdiLibrary.h"

namespace {

// Our record types stand for FTDI's in a type: Theirs<ours::FT_PROGRAM_DATA *> is
// ::FT_PROGRAM_DATA *. The records themselves are compared field by field below, so a function
// taking our record takes FTDI's.
template <class T> struct Translation { using type = T; };
template <class T> using Theirs = typename Translation<T>::type;
template <class T> struct Translation<T *> { using type = Theirs<T> *; };
template <class T> struct Translation<const T> { using type = const Theirs<T>; };
template <class T, std::size_t N> struct Translation<T[N]> { using type = Theirs<T>[N]; };
template <class R, class... A> struct Translation<R(A...)> { using type = Theirs<R>(Theirs<A>...); };
template <> struct Translation<ours::FT_DEVICE_LIST_INFO_NODE> { using type = ::FT_DEVICE_LIST_INFO_NODE; };
template <> struct Translation<ours::FT_PROGRAM_DATA> { using type = ::FT_PROGRAM_DATA; };
template <> struct Translation<ours::FT_EEPROM_HEADER> { using type = ::FT_EEPROM_HEADER; };
template <> struct Translation<ours::FT_EEPROM_X_SERIES> { using type = ::FT_EEPROM_X_SERIES; };
#if defined(_WIN32)
// Windows' DWORD and ULONG are unsigned long, 32 bits wide there as our uint32_t is: in a C call
// the two are passed and laid out alike.
static_assert(sizeof(unsigned long) == sizeof(uint32_t), "unsigned long is not 32 bits wide");
template <> struct Translation<uint32_t> { using type = unsigned long; };
#endif

template <class Ours, class Ftdi> constexpr bool isSameType = std::is_same_v<Theirs<Ours>, Ftdi>;

// The number of initialisers a record takes (an array field takes one per element). Equal counts
// with every listed field in place mean that neither side has a field the other lacks.
struct AnyValue {
    template <class T> constexpr operator T() const noexcept { return T{}; }
};
template <std::size_t> using AnyValueAt = AnyValue;

template <class T, class Indices, class = void> struct TakesInitialisers : std::false_type {};
template <class T, std::size_t... I>
struct TakesInitialisers<T, std::index_sequence<I...>, std::void_t<decltype(T{AnyValueAt<I>{}...})>> : std::true_type {};

template <class T, std::size_t N = 0> constexpr std::size_t initialiserCount()
{
    if constexpr (TakesInitialisers<T, std::make_index_sequence<N + 1>>::value)
        return initialiserCount<T, N + 1>();
    else
        return N;
}

template <class Ours, class Ftdi> constexpr bool isSameRecord()
{
    return sizeof(Ours) == sizeof(Ftdi) && alignof(Ours) == alignof(Ftdi)
        && initialiserCount<Ours>() == initialiserCount<Ftdi>();
}

template <class Ours, class Ftdi> constexpr bool isSameValue(Ours ours, Ftdi ftdi)
{
    return static_cast<long long>(ours) == static_cast<long long>(ftdi);
}

} // namespace

#define VELMOR_SAME_TYPE(name) static_assert(isSameType<ours::name, ::name>, "type " #name " differs from FTDI's");

VELMOR_SAME_TYPE(DWORD)
VELMOR_SAME_TYPE(ULONG)
VELMOR_SAME_TYPE(WORD)
VELMOR_SAME_TYPE(USHORT)
VELMOR_SAME_TYPE(UCHAR)
VELMOR_SAME_TYPE(LPDWORD)
VELMOR_SAME_TYPE(LPVOID)
VELMOR_SAME_TYPE(PVOID)
VELMOR_SAME_TYPE(PCHAR)
VELMOR_SAME_TYPE(FT_HANDLE)
VELMOR_SAME_TYPE(FT_STATUS)
VELMOR_SAME_TYPE(FT_DEVICE)
VELMOR_SAME_TYPE(PFT_PROGRAM_DATA)

#define VELMOR_SAME_RECORD(name) \
    static_assert(isSameRecord<ours::name, ::name>(), "size, alignment or field count of " #name " differs from FTDI's");
#define VELMOR_SAME_FIELD(record, field)                                                                    \
    static_assert(offsetof(ours::record, field) == offsetof(::record, field), #record "::" #field " is not at FTDI's offset"); \
    static_assert(isSameType<decltype(ours::record::field), decltype(::record::field)>, #record "::" #field " differs from FTDI's type");

VELMOR_SAME_RECORD(FT_DEVICE_LIST_INFO_NODE)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, Flags)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, Type)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, ID)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, LocId)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, SerialNumber)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, Description)
VELMOR_SAME_FIELD(FT_DEVICE_LIST_INFO_NODE, ftHandle)

VELMOR_SAME_RECORD(FT_PROGRAM_DATA)
#define VELMOR_PROGRAM_DATA_FIELD(field) VELMOR_SAME_FIELD(FT_PROGRAM_DATA, field)
VELMOR_PROGRAM_DATA_FIELD(Signature1)
VELMOR_PROGRAM_DATA_FIELD(Signature2)
VELMOR_PROGRAM_DATA_FIELD(Version)
VELMOR_PROGRAM_DATA_FIELD(VendorId)
VELMOR_PROGRAM_DATA_FIELD(ProductId)
VELMOR_PROGRAM_DATA_FIELD(Manufacturer)
VELMOR_PROGRAM_DATA_FIELD(ManufacturerId)
VELMOR_PROGRAM_DATA_FIELD(Description)
VELMOR_PROGRAM_DATA_FIELD(SerialNumber)
VELMOR_PROGRAM_DATA_FIELD(MaxPower)
VELMOR_PROGRAM_DATA_FIELD(PnP)
VELMOR_PROGRAM_DATA_FIELD(SelfPowered)
VELMOR_PROGRAM_DATA_FIELD(RemoteWakeup)
VELMOR_PROGRAM_DATA_FIELD(Rev4)
VELMOR_PROGRAM_DATA_FIELD(IsoIn)
VELMOR_PROGRAM_DATA_FIELD(IsoOut)
VELMOR_PROGRAM_DATA_FIELD(PullDownEnable)
VELMOR_PROGRAM_DATA_FIELD(SerNumEnable)
VELMOR_PROGRAM_DATA_FIELD(USBVersionEnable)
VELMOR_PROGRAM_DATA_FIELD(USBVersion)
VELMOR_PROGRAM_DATA_FIELD(Rev5)
VELMOR_PROGRAM_DATA_FIELD(IsoInA)
VELMOR_PROGRAM_DATA_FIELD(IsoInB)
VELMOR_PROGRAM_DATA_FIELD(IsoOutA)
VELMOR_PROGRAM_DATA_FIELD(IsoOutB)
VELMOR_PROGRAM_DATA_FIELD(PullDownEnable5)
VELMOR_PROGRAM_DATA_FIELD(SerNumEnable5)
VELMOR_PROGRAM_DATA_FIELD(USBVersionEnable5)
VELMOR_PROGRAM_DATA_FIELD(USBVersion5)
VELMOR_PROGRAM_DATA_FIELD(AIsHighCurrent)
VELMOR_PROGRAM_DATA_FIELD(BIsHighCurrent)
VELMOR_PROGRAM_DATA_FIELD(IFAIsFifo)
VELMOR_PROGRAM_DATA_FIELD(IFAIsFifoTar)
VELMOR_PROGRAM_DATA_FIELD(IFAIsFastSer)
VELMOR_PROGRAM_DATA_FIELD(AIsVCP)
VELMOR_PROGRAM_DATA_FIELD(IFBIsFifo)
VELMOR_PROGRAM_DATA_FIELD(IFBIsFifoTar)
VELMOR_PROGRAM_DATA_FIELD(IFBIsFastSer)
VELMOR_PROGRAM_DATA_FIELD(BIsVCP)
VELMOR_PROGRAM_DATA_FIELD(UseExtOsc)
VELMOR_PROGRAM_DATA_FIELD(HighDriveIOs)
VELMOR_PROGRAM_DATA_FIELD(EndpointSize)
VELMOR_PROGRAM_DATA_FIELD(PullDownEnableR)
VELMOR_PROGRAM_DATA_FIELD(SerNumEnableR)
VELMOR_PROGRAM_DATA_FIELD(InvertTXD)
VELMOR_PROGRAM_DATA_FIELD(InvertRXD)
VELMOR_PROGRAM_DATA_FIELD(InvertRTS)
VELMOR_PROGRAM_DATA_FIELD(InvertCTS)
VELMOR_PROGRAM_DATA_FIELD(InvertDTR)
VELMOR_PROGRAM_DATA_FIELD(InvertDSR)
VELMOR_PROGRAM_DATA_FIELD(InvertDCD)
VELMOR_PROGRAM_DATA_FIELD(InvertRI)
VELMOR_PROGRAM_DATA_FIELD(Cbus0)
VELMOR_PROGRAM_DATA_FIELD(Cbus1)
VELMOR_PROGRAM_DATA_FIELD(Cbus2)
VELMOR_PROGRAM_DATA_FIELD(Cbus3)
VELMOR_PROGRAM_DATA_FIELD(Cbus4)
VELMOR_PROGRAM_DATA_FIELD(RIsD2XX)
VELMOR_PROGRAM_DATA_FIELD(PullDownEnable7)
VELMOR_PROGRAM_DATA_FIELD(SerNumEnable7)
VELMOR_PROGRAM_DATA_FIELD(ALSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(ALSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(ALDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(AHSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(AHSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(AHDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(BLSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(BLSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(BLDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(BHSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(BHSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(BHDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(IFAIsFifo7)
VELMOR_PROGRAM_DATA_FIELD(IFAIsFifoTar7)
VELMOR_PROGRAM_DATA_FIELD(IFAIsFastSer7)
VELMOR_PROGRAM_DATA_FIELD(AIsVCP7)
VELMOR_PROGRAM_DATA_FIELD(IFBIsFifo7)
VELMOR_PROGRAM_DATA_FIELD(IFBIsFifoTar7)
VELMOR_PROGRAM_DATA_FIELD(IFBIsFastSer7)
VELMOR_PROGRAM_DATA_FIELD(BIsVCP7)
VELMOR_PROGRAM_DATA_FIELD(PowerSaveEnable)
VELMOR_PROGRAM_DATA_FIELD(PullDownEnable8)
VELMOR_PROGRAM_DATA_FIELD(SerNumEnable8)
VELMOR_PROGRAM_DATA_FIELD(ASlowSlew)
VELMOR_PROGRAM_DATA_FIELD(ASchmittInput)
VELMOR_PROGRAM_DATA_FIELD(ADriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(BSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(BSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(BDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(CSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(CSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(CDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(DSlowSlew)
VELMOR_PROGRAM_DATA_FIELD(DSchmittInput)
VELMOR_PROGRAM_DATA_FIELD(DDriveCurrent)
VELMOR_PROGRAM_DATA_FIELD(ARIIsTXDEN)
VELMOR_PROGRAM_DATA_FIELD(BRIIsTXDEN)
VELMOR_PROGRAM_DATA_FIELD(CRIIsTXDEN)
VELMOR_PROGRAM_DATA_FIELD(DRIIsTXDEN)
VELMOR_PROGRAM_DATA_FIELD(AIsVCP8)
VELMOR_PROGRAM_DATA_FIELD(BIsVCP8)
VELMOR_PROGRAM_DATA_FIELD(CIsVCP8)
VELMOR_PROGRAM_DATA_FIELD(DIsVCP8)
VELMOR_PROGRAM_DATA_FIELD(PullDownEnableH)
VELMOR_PROGRAM_DATA_FIELD(SerNumEnableH)
VELMOR_PROGRAM_DATA_FIELD(ACSlowSlewH)
VELMOR_PROGRAM_DATA_FIELD(ACSchmittInputH)
VELMOR_PROGRAM_DATA_FIELD(ACDriveCurrentH)
VELMOR_PROGRAM_DATA_FIELD(ADSlowSlewH)
VELMOR_PROGRAM_DATA_FIELD(ADSchmittInputH)
VELMOR_PROGRAM_DATA_FIELD(ADDriveCurrentH)
VELMOR_PROGRAM_DATA_FIELD(Cbus0H)
VELMOR_PROGRAM_DATA_FIELD(Cbus1H)
VELMOR_PROGRAM_DATA_FIELD(Cbus2H)
VELMOR_PROGRAM_DATA_FIELD(Cbus3H)
VELMOR_PROGRAM_DATA_FIELD(Cbus4H)
VELMOR_PROGRAM_DATA_FIELD(Cbus5H)
VELMOR_PROGRAM_DATA_FIELD(Cbus6H)
VELMOR_PROGRAM_DATA_FIELD(Cbus7H)
VELMOR_PROGRAM_DATA_FIELD(Cbus8H)
VELMOR_PROGRAM_DATA_FIELD(Cbus9H)
VELMOR_PROGRAM_DATA_FIELD(IsFifoH)
VELMOR_PROGRAM_DATA_FIELD(IsFifoTarH)
VELMOR_PROGRAM_DATA_FIELD(IsFastSerH)
VELMOR_PROGRAM_DATA_FIELD(IsFT1248H)
VELMOR_PROGRAM_DATA_FIELD(FT1248CpolH)
VELMOR_PROGRAM_DATA_FIELD(FT1248LsbH)
VELMOR_PROGRAM_DATA_FIELD(FT1248FlowControlH)
VELMOR_PROGRAM_DATA_FIELD(IsVCPH)
VELMOR_PROGRAM_DATA_FIELD(PowerSaveEnableH)
#undef VELMOR_PROGRAM_DATA_FIELD

VELMOR_SAME_RECORD(FT_EEPROM_HEADER)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, deviceType)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, VendorId)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, ProductId)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, SerNumEnable)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, MaxPower)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, SelfPowered)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, RemoteWakeup)
VELMOR_SAME_FIELD(FT_EEPROM_HEADER, PullDownEnable)

VELMOR_SAME_RECORD(FT_EEPROM_X_SERIES)
#define VELMOR_X_SERIES_FIELD(field) VELMOR_SAME_FIELD(FT_EEPROM_X_SERIES, field)
VELMOR_X_SERIES_FIELD(common)
VELMOR_X_SERIES_FIELD(ACSlowSlew)
VELMOR_X_SERIES_FIELD(ACSchmittInput)
VELMOR_X_SERIES_FIELD(ACDriveCurrent)
VELMOR_X_SERIES_FIELD(ADSlowSlew)
VELMOR_X_SERIES_FIELD(ADSchmittInput)
VELMOR_X_SERIES_FIELD(ADDriveCurrent)
VELMOR_X_SERIES_FIELD(Cbus0)
VELMOR_X_SERIES_FIELD(Cbus1)
VELMOR_X_SERIES_FIELD(Cbus2)
VELMOR_X_SERIES_FIELD(Cbus3)
VELMOR_X_SERIES_FIELD(Cbus4)
VELMOR_X_SERIES_FIELD(Cbus5)
VELMOR_X_SERIES_FIELD(Cbus6)
VELMOR_X_SERIES_FIELD(InvertTXD)
VELMOR_X_SERIES_FIELD(InvertRXD)
VELMOR_X_SERIES_FIELD(InvertRTS)
VELMOR_X_SERIES_FIELD(InvertCTS)
VELMOR_X_SERIES_FIELD(InvertDTR)
VELMOR_X_SERIES_FIELD(InvertDSR)
VELMOR_X_SERIES_FIELD(InvertDCD)
VELMOR_X_SERIES_FIELD(InvertRI)
VELMOR_X_SERIES_FIELD(BCDEnable)
VELMOR_X_SERIES_FIELD(BCDForceCbusPWREN)
VELMOR_X_SERIES_FIELD(BCDDisableSleep)
VELMOR_X_SERIES_FIELD(I2CSlaveAddress)
VELMOR_X_SERIES_FIELD(I2CDeviceId)
VELMOR_X_SERIES_FIELD(I2CDisableSchmitt)
VELMOR_X_SERIES_FIELD(FT1248Cpol)
VELMOR_X_SERIES_FIELD(FT1248Lsb)
VELMOR_X_SERIES_FIELD(FT1248FlowControl)
VELMOR_X_SERIES_FIELD(RS485EchoSuppress)
VELMOR_X_SERIES_FIELD(PowerSaveEnable)
VELMOR_X_SERIES_FIELD(DriverType)
#undef VELMOR_X_SERIES_FIELD

// The transport sizes the X-series record it hands to FT_EEPROM_Read and FT_EEPROM_Program by 56.
static_assert(sizeof(ours::FT_EEPROM_X_SERIES) == 56, "the X-series EEPROM record is not 56 bytes");

// FTDI's enumerators stay global; ours are in namespace ours.
#define VELMOR_SAME_ENUMERATOR(name) static_assert(isSameValue(ours::name, ::name), #name " differs from FTDI's value");

VELMOR_SAME_ENUMERATOR(FT_OK)
VELMOR_SAME_ENUMERATOR(FT_INVALID_HANDLE)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_NOT_FOUND)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_NOT_OPENED)
VELMOR_SAME_ENUMERATOR(FT_IO_ERROR)
VELMOR_SAME_ENUMERATOR(FT_INSUFFICIENT_RESOURCES)
VELMOR_SAME_ENUMERATOR(FT_INVALID_PARAMETER)
VELMOR_SAME_ENUMERATOR(FT_INVALID_BAUD_RATE)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_NOT_OPENED_FOR_ERASE)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_NOT_OPENED_FOR_WRITE)
VELMOR_SAME_ENUMERATOR(FT_FAILED_TO_WRITE_DEVICE)
VELMOR_SAME_ENUMERATOR(FT_EEPROM_READ_FAILED)
VELMOR_SAME_ENUMERATOR(FT_EEPROM_WRITE_FAILED)
VELMOR_SAME_ENUMERATOR(FT_EEPROM_ERASE_FAILED)
VELMOR_SAME_ENUMERATOR(FT_EEPROM_NOT_PRESENT)
VELMOR_SAME_ENUMERATOR(FT_EEPROM_NOT_PROGRAMMED)
VELMOR_SAME_ENUMERATOR(FT_INVALID_ARGS)
VELMOR_SAME_ENUMERATOR(FT_NOT_SUPPORTED)
VELMOR_SAME_ENUMERATOR(FT_OTHER_ERROR)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_LIST_NOT_READY)

VELMOR_SAME_ENUMERATOR(FT_DEVICE_BM)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_AM)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_100AX)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_UNKNOWN)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_2232C)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_232R)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_2232H)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_4232H)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_232H)
VELMOR_SAME_ENUMERATOR(FT_DEVICE_X_SERIES)

// These are macros on both sides; FTDI's values were kept in namespace theirs. FT_FLAGS_* are
// enumerators in FTDI's header and plain integers in ours, so only their values are compared.
#define VELMOR_SAME_VALUE(name) static_assert(isSameValue(name, theirs::name##_), #name " differs from FTDI's value");
#define VELMOR_SAME_CONSTANT(name)                                                                          \
    static_assert(isSameValue(name, theirs::name##_), #name " differs from FTDI's value");                  \
    static_assert(std::is_same_v<decltype(name), std::remove_const_t<decltype(theirs::name##_)>>, #name " differs from FTDI's type");

VELMOR_SAME_VALUE(FT_FLAGS_OPENED)
VELMOR_SAME_VALUE(FT_FLAGS_HISPEED)
VELMOR_SAME_CONSTANT(FT_BITS_8)
VELMOR_SAME_CONSTANT(FT_BITS_7)
VELMOR_SAME_CONSTANT(FT_STOP_BITS_1)
VELMOR_SAME_CONSTANT(FT_STOP_BITS_2)
VELMOR_SAME_CONSTANT(FT_PARITY_NONE)
VELMOR_SAME_CONSTANT(FT_PARITY_ODD)
VELMOR_SAME_CONSTANT(FT_PARITY_EVEN)
VELMOR_SAME_CONSTANT(FT_PARITY_MARK)
VELMOR_SAME_CONSTANT(FT_PARITY_SPACE)
VELMOR_SAME_CONSTANT(FT_FLOW_NONE)
VELMOR_SAME_CONSTANT(FT_FLOW_RTS_CTS)
VELMOR_SAME_CONSTANT(FT_FLOW_DTR_DSR)
VELMOR_SAME_CONSTANT(FT_FLOW_XON_XOFF)
VELMOR_SAME_CONSTANT(FT_PURGE_RX)
VELMOR_SAME_CONSTANT(FT_PURGE_TX)
VELMOR_SAME_CONSTANT(FT_BITMODE_RESET)
VELMOR_SAME_CONSTANT(FT_BITMODE_SYNC_FIFO)

// Exact function types, so that a parameter of another width or signedness fails; taking each
// function's address also makes the link fail where FTDI's library does not export it.
#define VELMOR_SAME_FUNCTION(name)                                                                          \
    static_assert(isSameType<std::remove_pointer_t<ours::name##_t>, decltype(::name)>, #name " differs from FTDI's signature");

#define VELMOR_FUNCTIONS(apply)                                                                             \
    apply(FT_CreateDeviceInfoList) apply(FT_GetDeviceInfoList) apply(FT_Open) apply(FT_Close)               \
    apply(FT_GetDeviceInfo) apply(FT_EE_Read) apply(FT_EE_Program) apply(FT_EEPROM_Read)                    \
    apply(FT_EEPROM_Program) apply(FT_SetBitMode) apply(FT_SetBaudRate) apply(FT_SetDataCharacteristics)    \
    apply(FT_SetFlowControl) apply(FT_SetLatencyTimer) apply(FT_SetUSBParameters) apply(FT_Purge)           \
    apply(FT_SetTimeouts) apply(FT_GetQueueStatus) apply(FT_GetStatus) apply(FT_Read) apply(FT_Write)       \
    apply(FT_CyclePort)

VELMOR_FUNCTIONS(VELMOR_SAME_FUNCTION)

#define VELMOR_ADDRESS(name) reinterpret_cast<const void *>(&::name),

int main()
{
    const void *const functions[] = {VELMOR_FUNCTIONS(VELMOR_ADDRESS)};
    for (const void *function : functions) {
        if (function == nullptr)
            return 1;
    }
    return 0;
}
