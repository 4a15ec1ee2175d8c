#include "USBFtdiSocket.h"

namespace {

USBResult notAvailable()
{
    return USBResult(QStringLiteral("Device not open"), USBResult::Error);
}

} // namespace

USBFtdiSocket::USBFtdiSocket(quint32 deviceIndex, bool uartMode)
    : m_flags(uartMode ? quint32(UartMode) : 0u)
    , m_deviceIndex(deviceIndex)
{
}

USBISocketPtr USBFtdiSocket::clone() const { return USBISocketPtr(new USBFtdiSocket(*this)); }
USBResult USBFtdiSocket::open(quint32) { return notAvailable(); }
USBResult USBFtdiSocket::close() { return USBResult(); }
void USBFtdiSocket::resetAndClose() {}
quint32 USBFtdiSocket::threadPriority() const { return m_threadPriority; }
quint32 USBFtdiSocket::deviceIndex() const { return m_deviceIndex; }
bool USBFtdiSocket::isOpen() const { return m_handle != nullptr; }
USBSocketStatus USBFtdiSocket::status() { return USBSocketStatus(); }
quint32 USBFtdiSocket::purge() { return FT_INVALID_HANDLE; }
void USBFtdiSocket::writeByte(quint8) { throw notAvailable(); }
quint32 USBFtdiSocket::write(const QByteArray &) { throw notAvailable(); }
QByteArray USBFtdiSocket::read(qint32) { throw notAvailable(); }
void USBFtdiSocket::readInto(char *, quint32) { throw notAvailable(); }
qint32 USBFtdiSocket::readAvailable(QByteArray &, qint32) { throw notAvailable(); }
quint32 USBFtdiSocket::bytesAvailable() { throw notAvailable(); }
quint32 USBFtdiSocket::applyTimeouts() { return FT_INVALID_HANDLE; }
quint32 USBFtdiSocket::applyProtocolTimeouts() { return FT_INVALID_HANDLE; }
void USBFtdiSocket::setReadHint(quint32) {}
