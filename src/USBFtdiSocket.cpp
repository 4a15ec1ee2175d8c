#include "USBFtdiSocket.h"

#include "Assert.h"
#include "FtdiLibraryLoader.h"
#include "USBDeviceIdentity.h"

#include <QThread>
#include <algorithm>
#include <cstring>

namespace {

constexpr ULONG kPurgeBoth = FT_PURGE_RX | FT_PURGE_TX;
constexpr UCHAR kAllPins = 0xFF;
constexpr UCHAR kLatencyMs = 2;
constexpr ULONG kTimeoutMs = 1000;

// FT_PROGRAM_DATA versions by chip, and the size D2XX checks for the X-series record.
constexpr DWORD kProgramDataVersion232R = 2;
constexpr DWORD kProgramDataVersion2232H = 3;
constexpr DWORD kProgramDataVersion232H = 5;
constexpr DWORD kXSeriesRecordSize = 56;
static_assert(sizeof(FT_EEPROM_X_SERIES) == kXSeriesRecordSize, "X-series EEPROM record as D2XX lays it out");

USBResult failure(const char *text)
{
    return USBResult(QString::fromLatin1(text), USBResult::Error);
}

QString boundedText(const char *text, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && text[length] != '\0')
        ++length;
    return QString::fromLatin1(text, static_cast<int>(length));
}

// D2XX writes each string of an EEPROM read into a buffer of the caller's; these are larger
// than any it fills.
struct EepromStrings
{
    char manufacturer[64] = {};
    char manufacturerId[64] = {};
    char description[64] = {};
    char serialNumber[64] = {};
};

QString programDataSerial(FT_HANDLE handle, DWORD version)
{
    EepromStrings strings;
    FT_PROGRAM_DATA data;
    std::memset(&data, 0, sizeof data);
    data.Signature1 = 0x00000000;
    data.Signature2 = 0xFFFFFFFF;
    data.Version = version;
    data.Manufacturer = strings.manufacturer;
    data.ManufacturerId = strings.manufacturerId;
    data.Description = strings.description;
    data.SerialNumber = strings.serialNumber;
    // An unreadable EEPROM leaves the serial empty, which no identity accepts.
    ftdi().FT_EE_Read(handle, &data);
    return boundedText(strings.serialNumber, sizeof strings.serialNumber);
}

QString xSeriesSerial(FT_HANDLE handle)
{
    EepromStrings strings;
    FT_EEPROM_X_SERIES record;
    std::memset(&record, 0, sizeof record);
    record.common.deviceType = FT_DEVICE_X_SERIES;
    ftdi().FT_EEPROM_Read(handle, &record, kXSeriesRecordSize, strings.manufacturer, strings.manufacturerId,
                          strings.description, strings.serialNumber);
    return boundedText(strings.serialNumber, sizeof strings.serialNumber);
}

USBResult communicationTimedOut()
{
    return failure("Communication timed out");
}

void throwOnFailure(FT_STATUS status)
{
    if (status != FT_OK)
        throw USBFtdiSocket::failedCall(status);
}

// Per thread: a call on one held unit runs beside calls on others, and only a failure of its own
// D2XX calls says anything of its handle.
thread_local quint64 t_failedCalls = 0;

} // namespace

quint64 USBFtdiSocket::failedCallCount()
{
    return t_failedCalls;
}

USBResult USBFtdiSocket::failedCall(FT_STATUS status)
{
    ++t_failedCalls;
    return USBResult::fromFtStatus(status);
}

USBFtdiSocket::USBFtdiSocket(quint32 deviceIndex, bool uartMode)
    : m_flags(uartMode ? quint32(UartMode) : 0u)
    , m_deviceIndex(deviceIndex)
{
}

USBISocketPtr USBFtdiSocket::clone() const
{
    return USBISocketPtr(new USBFtdiSocket(*this));
}

FT_STATUS USBFtdiSocket::runSteps(std::initializer_list<Step> steps)
{
    for (const Step &step : steps) {
        const FT_STATUS status = step();
        if (status != FT_OK)
            return status;
    }
    return FT_OK;
}

FT_STATUS USBFtdiSocket::waitTenMilliseconds()
{
    // The chip needs this long to settle after a bit-mode change.
    QThread::msleep(10);
    return FT_OK;
}

USBResult USBFtdiSocket::abandon(FT_HANDLE handle, FT_STATUS status)
{
    ftdi().FT_Close(handle);
    return USBResult::fromFtStatus(status);
}

USBResult USBFtdiSocket::abandonForUnknownSerial(FT_HANDLE handle)
{
    ftdi().FT_Close(handle);
    return failure("Unknown USB serial number");
}

USBResult USBFtdiSocket::openInterface(FT_HANDLE &handle, FT_DEVICE &chipType)
{
    if (isOpen())
        return failure("Device already open");
    handle = nullptr;
    const FT_STATUS opened = ftdi().FT_Open(static_cast<int>(m_deviceIndex), &handle);
    if (opened != FT_OK)
        return USBResult::fromFtStatus(opened);
    m_threadPriority = QThread::InheritPriority;
    DWORD id = 0;
    char serial[16] = {};
    char description[64] = {};
    const FT_STATUS info = ftdi().FT_GetDeviceInfo(handle, &chipType, &id, serial, description, nullptr);
    if (info != FT_OK)
        return abandon(handle, info);
    return USBResult::fromFtStatus(FT_OK);
}

QString USBFtdiSocket::eepromSerial(FT_HANDLE handle, FT_DEVICE chipType)
{
    switch (chipType) {
    case FT_DEVICE_232R: return programDataSerial(handle, kProgramDataVersion232R);
    case FT_DEVICE_2232H: return programDataSerial(handle, kProgramDataVersion2232H);
    case FT_DEVICE_232H: return programDataSerial(handle, kProgramDataVersion232H);
    case FT_DEVICE_X_SERIES: return xSeriesSerial(handle);
    default: return QString();
    }
}

USBResult USBFtdiSocket::open(quint32 baudRate)
{
    FT_HANDLE handle = nullptr;
    FT_DEVICE chipType = FT_DEVICE_UNKNOWN;
    const USBResult opened = openInterface(handle, chipType);
    if (!opened.isOk())
        return opened;
    const QString serial = eepromSerial(handle, chipType);
    if (chipType == FT_DEVICE_232H || (chipType == FT_DEVICE_2232H && !uartMode()))
        m_threadPriority = QThread::TimeCriticalPriority;
    const USBDeviceIdentity identity = identityFromSerial(serial);
    if (!identity.valid)
        return abandonForUnknownSerial(handle);
    const FT_STATUS configured = runSteps({
        [&] { return configure(handle, chipType, baudRate, identity.flowControl); },
        [&] { return ftdi().FT_Purge(handle, kPurgeBoth); },
    });
    if (configured != FT_OK)
        return abandon(handle, configured);
    m_handle = handle;
    return USBResult::fromFtStatus(FT_OK);
}

FT_STATUS USBFtdiSocket::configure(FT_HANDLE handle, FT_DEVICE chipType, quint32 baudRate, quint32 flowControl) const
{
    const USHORT lineFlow = flowControl == 1 ? FT_FLOW_RTS_CTS : FT_FLOW_NONE;
    auto bitMode = [handle](UCHAR mode) { return [handle, mode] { return ftdi().FT_SetBitMode(handle, kAllPins, mode); }; };
    auto latency = [handle] { return ftdi().FT_SetLatencyTimer(handle, kLatencyMs); };
    auto transferSizes = [handle](ULONG in, ULONG out) { return [handle, in, out] { return ftdi().FT_SetUSBParameters(handle, in, out); }; };
    auto flow = [handle](USHORT mode) { return [handle, mode] { return ftdi().FT_SetFlowControl(handle, mode, 0, 0); }; };
    auto baud = [handle, baudRate] { return ftdi().FT_SetBaudRate(handle, baudRate); };
    auto characteristics = [handle] { return ftdi().FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_EVEN); };

    if (chipType == FT_DEVICE_232H)
        return runSteps({bitMode(FT_BITMODE_RESET), waitTenMilliseconds, bitMode(FT_BITMODE_SYNC_FIFO),
                         waitTenMilliseconds, latency, transferSizes(0x10000, 0x10000), flow(FT_FLOW_RTS_CTS)});
    if (chipType == FT_DEVICE_2232H && uartMode())
        return runSteps({bitMode(FT_BITMODE_RESET), waitTenMilliseconds, baud, flow(lineFlow), characteristics, latency,
                         transferSizes(0x2000, 0x100)});
    if (chipType == FT_DEVICE_2232H)
        return runSteps({bitMode(FT_BITMODE_RESET), waitTenMilliseconds, latency, transferSizes(0x10000, 0),
                         flow(FT_FLOW_RTS_CTS)});
    return runSteps({baud, flow(lineFlow), characteristics, latency, transferSizes(0x2000, 0x100)});
}

USBResult USBFtdiSocket::close()
{
    if (isOpen()) {
        ftdi().FT_Close(m_handle);
        m_handle = nullptr;
    }
    return USBResult();
}

void USBFtdiSocket::resetAndClose()
{
    if (!isOpen())
        return;
    ftdi().FT_CyclePort(m_handle);
    ftdi().FT_Close(m_handle);
    m_handle = nullptr;
}

quint32 USBFtdiSocket::threadPriority() const
{
    return m_threadPriority;
}

quint32 USBFtdiSocket::deviceIndex() const
{
    return m_deviceIndex;
}

bool USBFtdiSocket::isOpen() const
{
    return m_handle != nullptr;
}

USBSocketStatus USBFtdiSocket::status()
{
    USBSocketStatus result;
    if (!isOpen()) {
        result.code = USBSocketStatus::NotOpen;
        return result;
    }
    DWORD rx = 0;
    DWORD tx = 0;
    DWORD events = 0;
    const FT_STATUS status = ftdi().FT_GetStatus(m_handle, &rx, &tx, &events);
    if (status != FT_OK) {
        result.code = USBSocketStatus::CallFailed;
        result.message = failedCall(status).toString();
        return result;
    }
    result.code = USBSocketStatus::Read;
    result.rxQueue = rx;
    result.txQueue = tx;
    return result;
}

quint32 USBFtdiSocket::purge()
{
    return ftdi().FT_Purge(m_handle, kPurgeBoth);
}

void USBFtdiSocket::requireOpen() const
{
    if (!isOpen())
        throw failure("Device not open");
}

void USBFtdiSocket::writeByte(quint8 value)
{
    requireOpen();
    DWORD written = 0;
    throwOnFailure(ftdi().FT_Write(m_handle, &value, 1, &written));
    if (written < 1)
        throw communicationTimedOut();
}

quint32 USBFtdiSocket::write(const QByteArray &data)
{
    requireOpen();
    if (data.isEmpty())
        return 0;
    QByteArray bytes = data;  // D2XX takes a non-const buffer
    const DWORD count = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    throwOnFailure(ftdi().FT_Write(m_handle, bytes.data(), count, &written));
    if (written < count)
        throw communicationTimedOut();
    return written;
}

void USBFtdiSocket::readExactly(void *buffer, DWORD count)
{
    DWORD received = 0;
    throwOnFailure(ftdi().FT_Read(m_handle, buffer, count, &received));
    if (received < count)
        throw communicationTimedOut();
}

QByteArray USBFtdiSocket::read(qint32 count)
{
    requireOpen();
    VELMOR_ASSERT(count >= 0);
    VELMOR_ASSERT(count < kReadBufferSize);
    char buffer[kReadBufferSize];
    readExactly(buffer, static_cast<DWORD>(count));
    return QByteArray(buffer, count);
}

void USBFtdiSocket::readInto(char *buffer, quint32 count)
{
    requireOpen();
    readExactly(buffer, count);
}

qint32 USBFtdiSocket::readAvailable(QByteArray &buffer, qint32 wantedTotal)
{
    requireOpen();
    DWORD queued = 0;
    ftdi().FT_GetQueueStatus(m_handle, &queued);
    const qint64 wanted = std::max<qint64>(0, qint64(wantedTotal) - buffer.size());
    const qint32 count = static_cast<qint32>(std::min<qint64>({qint64(queued), wanted, kLargestAvailableRead}));
    if (count == 0)
        return 0;
    const int start = buffer.size();
    buffer.resize(start + count);
    DWORD received = 0;
    const FT_STATUS status = ftdi().FT_Read(m_handle, buffer.data() + start, static_cast<DWORD>(count), &received);
    // Keep exactly the bytes that came, so that a failed read leaves no filler in the buffer.
    buffer.resize(start + static_cast<int>(std::min<DWORD>(received, DWORD(count))));
    throwOnFailure(status);
    if (received < DWORD(count))
        throw communicationTimedOut();
    return count;
}

quint32 USBFtdiSocket::bytesAvailable()
{
    // No open check: a closed channel asks with a null handle and throws what D2XX answers.
    DWORD queued = 0;
    throwOnFailure(ftdi().FT_GetQueueStatus(m_handle, &queued));
    return queued;
}

quint32 USBFtdiSocket::applyTimeouts()
{
    return ftdi().FT_SetTimeouts(m_handle, kTimeoutMs, kTimeoutMs);
}

quint32 USBFtdiSocket::applyProtocolTimeouts()
{
    return applyTimeouts();
}

void USBFtdiSocket::setReadHint(quint32)
{
}
