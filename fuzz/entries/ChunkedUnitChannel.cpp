#include "ChunkedUnitChannel.h"

#include <QMutexLocker>

namespace {

constexpr char kRequestPacket = 0x05;
constexpr int kRequestHeaderSize = 8;

qint32 idOfRequestPacket(const QByteArray &packet)
{
    quint32 id = 0;
    for (int i = 4; i >= 1; --i)
        id = (id << 8) | static_cast<quint8>(packet.at(i));
    return static_cast<qint32>(id);
}

} // namespace

ChunkedUnitChannel::ChunkedUnitChannel(const QList<Chunk> &chunks)
    : m_script(std::make_shared<Script>())
{
    m_script->chunks = chunks;
    shared().open = true;
}

USBISocketPtr ChunkedUnitChannel::clone() const
{
    return USBISocketPtr(new ChunkedUnitChannel(*this));
}

quint32 ChunkedUnitChannel::write(const QByteArray &data)
{
    const quint32 written = FakeSocket::write(data);
    if (data.size() >= kRequestHeaderSize && data.at(0) == kRequestPacket)
        m_script->writtenIds.append(idOfRequestPacket(data));
    if (!m_script->chunks.isEmpty() && m_script->chunks.first().waitsForCommand)
        send(m_script->chunks.takeFirst());
    return written;
}

void ChunkedUnitChannel::readInto(char *buffer, quint32 count)
{
    sendUntil(count);
    FakeSocket::readInto(buffer, count);
}

qint32 ChunkedUnitChannel::readAvailable(QByteArray &buffer, qint32 wantedTotal)
{
    sendUntil(static_cast<quint32>(std::max(wantedTotal - buffer.size(), 0)));
    return FakeSocket::readAvailable(buffer, wantedTotal);
}

quint32 ChunkedUnitChannel::bytesAvailable()
{
    sendUntil(1);
    const quint32 available = queued();
    if (available == 0)
        throw USBResult(QStringLiteral("Communication timed out"), USBResult::Error);
    return available;
}

bool ChunkedUnitChannel::allSent() const
{
    return m_script->chunks.isEmpty();
}

void ChunkedUnitChannel::sendUntil(quint32 wanted)
{
    while (queued() < wanted && !m_script->chunks.isEmpty() && !m_script->chunks.first().waitsForCommand)
        send(m_script->chunks.takeFirst());
}

void ChunkedUnitChannel::send(Chunk chunk)
{
    const QVector<qint32> &ids = m_script->writtenIds;
    if (chunk.stampsId && chunk.bytes.size() >= 5 && chunk.requestsBack < ids.size()) {
        const quint32 id = static_cast<quint32>(ids.at(ids.size() - 1 - chunk.requestsBack));
        for (int i = 0; i < 4; ++i)
            chunk.bytes[1 + i] = static_cast<char>((id >> (8 * i)) & 0xFF);
    }
    deviceSends(chunk.bytes);
}

quint32 ChunkedUnitChannel::queued()
{
    return FakeSocket::bytesAvailable();
}
