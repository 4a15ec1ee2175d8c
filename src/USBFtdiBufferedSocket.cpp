#include "USBFtdiBufferedSocket.h"

#include "Assert.h"
#include "FtdiLibraryLoader.h"
#include "USBDeviceIdentity.h"

#include <QThread>
#include <algorithm>
#include <cstring>

namespace {

constexpr ULONG kTimeoutMs = 200;
constexpr UCHAR kAllPins = 0xFF;
constexpr UCHAR kLatencyMs = 2;

} // namespace

USBFtdiBufferedSocket::USBFtdiBufferedSocket(quint32 deviceIndex, quint32 bufferCapacity)
    : USBFtdiSocket(deviceIndex)
    , m_bufferCapacity(bufferCapacity)
    , m_log(deviceIndex)
{
    VELMOR_ASSERT(bufferCapacity > 0);
}

USBFtdiBufferedSocket::USBFtdiBufferedSocket(const USBFtdiBufferedSocket &other)
    : USBFtdiSocket(other)
    , m_bufferCapacity(other.m_bufferCapacity)
    , m_bufferRemainingRxCount(other.m_bufferRemainingRxCount)
    , m_readHint(other.m_readHint)
    , m_bufferSize(other.m_bufferSize)
    , m_readPos(other.m_readPos)
    , m_log(other.m_deviceIndex)
{
}

USBISocketPtr USBFtdiBufferedSocket::clone() const
{
    return USBISocketPtr(new USBFtdiBufferedSocket(*this));
}

USBResult USBFtdiBufferedSocket::open(quint32)
{
    FT_HANDLE handle = nullptr;
    FT_DEVICE chipType = FT_DEVICE_UNKNOWN;
    const USBResult opened = openInterface(handle, chipType);
    if (!opened.isOk())
        return opened;
    // Only an FT2232H has a data interface; any other chip listed there is not a unit of ours.
    if (chipType != FT_DEVICE_2232H)
        return abandonForUnknownSerial(handle);
    m_threadPriority = QThread::TimeCriticalPriority;
    if (!identityFromSerial(eepromSerial(handle, chipType)).valid)
        return abandonForUnknownSerial(handle);
    const FT_STATUS configured = runSteps({
        [handle] { return ftdi().FT_SetBitMode(handle, kAllPins, FT_BITMODE_RESET); },
        waitTenMilliseconds,
        [handle] { return ftdi().FT_SetLatencyTimer(handle, kLatencyMs); },
        [handle] { return ftdi().FT_SetUSBParameters(handle, 0x10000, 0); },
        [handle] { return ftdi().FT_SetFlowControl(handle, FT_FLOW_RTS_CTS, 0, 0); },
        [handle] { return ftdi().FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX); },
    });
    if (configured != FT_OK)
        return abandon(handle, configured);
    m_handle = handle;
    // The chip forgot any grant when it was opened; bytes of an earlier session are stale.
    m_bufferRemainingRxCount = 0;
    m_bufferSize = 0;
    m_readPos = 0;
    return USBResult::fromFtStatus(FT_OK);
}

QByteArray USBFtdiBufferedSocket::read(qint32)
{
    VELMOR_ASSERT(false && "read() is not supported by a buffered channel");
    return QByteArray();
}

qint32 USBFtdiBufferedSocket::readAvailable(QByteArray &, qint32)
{
    VELMOR_ASSERT(false && "readAvailable() is not supported by a buffered channel");
    return 0;
}

void USBFtdiBufferedSocket::allocateBuffer()
{
    m_buffer.reset(new char[m_bufferCapacity]());
    // A clone copies the counters of a buffer it does not get.
    m_bufferSize = 0;
    m_readPos = 0;
}

void USBFtdiBufferedSocket::grant()
{
    writeByte(0);
    m_bufferRemainingRxCount = m_bufferCapacity;
}

void USBFtdiBufferedSocket::refill()
{
    if (m_bufferRemainingRxCount == 0)
        grant();
    quint32 chunk = m_readHint < m_bufferCapacity ? m_readHint : m_bufferCapacity;
    if (chunk == 0)
        chunk = m_bufferCapacity;
    const DWORD wanted = std::min(chunk, m_bufferRemainingRxCount);
    DWORD received = 0;
    const FT_STATUS status = ftdi().FT_Read(m_handle, m_buffer.get(), wanted, &received);
    // D2XX never reports more than asked; the buffer's bounds must not depend on it.
    received = std::min(received, wanted);
    m_bufferRemainingRxCount -= received;
    m_readHint -= std::min(m_readHint, quint32(received));
    m_log.record(m_buffer.get(), received);
    if (status != FT_OK)
        throw failedCall(status);
    if (received == 0)
        throw USBResult(QStringLiteral("Reading data from device timed out"), USBResult::Error);
    m_bufferSize = received;
    m_readPos = 0;
}

void USBFtdiBufferedSocket::readInto(char *buffer, quint32 count)
{
    requireOpen();
    if (!m_buffer) {
        allocateBuffer();
        m_bufferRemainingRxCount = 0;
        refill();
    }
    // Whole runs of buffered bytes at a time; a refill that fails leaves what was copied consumed.
    for (quint32 copied = 0; copied < count;) {
        if (m_bufferSize == 0)
            refill();
        const quint32 run = std::min(count - copied, m_bufferSize);
        // The packet engine reads each packet's type byte on its own: no library call for one byte.
        if (run == 1)
            buffer[copied] = m_buffer[m_readPos];
        else
            std::memcpy(buffer + copied, m_buffer.get() + m_readPos, run);
        m_readPos += run;
        m_bufferSize -= run;
        copied += run;
    }
}

quint32 USBFtdiBufferedSocket::bytesAvailable()
{
    if (!m_buffer) {
        allocateBuffer();
        grant();
    } else if (m_bufferRemainingRxCount == 0 && m_bufferSize == 0) {
        grant();
    }
    DWORD queued = 0;
    const FT_STATUS status = ftdi().FT_GetQueueStatus(m_handle, &queued);
    if (status != FT_OK)
        throw failedCall(status);
    return queued + m_bufferSize;
}

quint32 USBFtdiBufferedSocket::applyTimeouts()
{
    return ftdi().FT_SetTimeouts(m_handle, kTimeoutMs, kTimeoutMs);
}

quint32 USBFtdiBufferedSocket::applyProtocolTimeouts()
{
    return applyTimeouts();
}

void USBFtdiBufferedSocket::setReadHint(quint32 bytes)
{
    m_readHint = bytes;
}
