#include "FakeSocket.h"

#include <QMutexLocker>

FakeSocket::FakeSocket()
    : m_shared(std::make_shared<Shared>())
{
}

USBISocketPtr FakeSocket::clone() const
{
    return USBISocketPtr(new FakeSocket(*this));
}

USBResult FakeSocket::open(quint32)
{
    QMutexLocker locker(&m_shared->mutex);
    ++m_shared->opens;
    m_shared->open = m_shared->openResult.isOk();
    return m_shared->openResult;
}

USBResult FakeSocket::close()
{
    QMutexLocker locker(&m_shared->mutex);
    if (m_shared->open)
        ++m_shared->closes;
    m_shared->open = false;
    return USBResult();
}

void FakeSocket::resetAndClose()
{
    close();
}

bool FakeSocket::isOpen() const
{
    QMutexLocker locker(&m_shared->mutex);
    return m_shared->open;
}

USBSocketStatus FakeSocket::status()
{
    USBSocketStatus status;
    status.code = isOpen() ? USBSocketStatus::Read : USBSocketStatus::NotOpen;
    return status;
}

void FakeSocket::writeByte(quint8 value)
{
    write(QByteArray(1, char(value)));
}

quint32 FakeSocket::write(const QByteArray &data)
{
    if (data.isEmpty())
        return 0;
    QMutexLocker locker(&m_shared->mutex);
    m_shared->writes.append(data);
    if (m_shared->responder)
        m_shared->incoming.append(m_shared->responder(data));
    return static_cast<quint32>(data.size());
}

QByteArray FakeSocket::read(qint32 count)
{
    QByteArray bytes(count, 0);
    readInto(bytes.data(), static_cast<quint32>(count));
    return bytes;
}

void FakeSocket::readInto(char *buffer, quint32 count)
{
    QMutexLocker locker(&m_shared->mutex);
    const quint32 available = static_cast<quint32>(m_shared->incoming.size());
    const quint32 taken = std::min(available, count);
    std::copy(m_shared->incoming.constData(), m_shared->incoming.constData() + taken, buffer);
    m_shared->incoming.remove(0, static_cast<int>(taken));
    if (taken < count)
        throw USBResult(QStringLiteral("Communication timed out"), USBResult::Error);
}

qint32 FakeSocket::readAvailable(QByteArray &buffer, qint32 wantedTotal)
{
    QMutexLocker locker(&m_shared->mutex);
    const qint32 n = std::min<qint32>(m_shared->incoming.size(), wantedTotal - buffer.size());
    buffer.append(m_shared->incoming.left(n));
    m_shared->incoming.remove(0, n);
    return n;
}

quint32 FakeSocket::bytesAvailable()
{
    QMutexLocker locker(&m_shared->mutex);
    return static_cast<quint32>(m_shared->incoming.size());
}

quint32 FakeSocket::applyProtocolTimeouts()
{
    QMutexLocker locker(&m_shared->mutex);
    ++m_shared->protocolTimeoutsApplied;
    return 0;
}

void FakeSocket::deviceSends(const QByteArray &bytes)
{
    QMutexLocker locker(&m_shared->mutex);
    m_shared->incoming.append(bytes);
}

QList<QByteArray> FakeSocket::writes() const
{
    QMutexLocker locker(&m_shared->mutex);
    return m_shared->writes;
}

QByteArray hexBytes(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
