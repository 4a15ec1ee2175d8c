// The input: a settings byte (bits 0-1: one to four requests; bit 2: a packet handler takes
// ids 0 to 7; bit 3: stream receivers for ids 0 to 7), one byte per request (bits 0-4: the
// expected reply length; bit 5: raw; bits 6-7: payload length), then chunks of the unit's
// bytes to the end: a control byte (bits 0-5: length; bit 6: stamp an id, the next byte
// saying how many requests back; bit 7: wait for the next command) and the bytes.
#include "ChunkedUnitChannel.h"
#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "ScriptedRequest.h"
#include "USBPacketHandler.h"
#include "USBPacketFramer.h"
#include "USBPacketProtocol.h"
#include "USBPacketStreamEvent.h"

#include <QCoreApplication>
#include <boost/make_shared.hpp>

namespace {

constexpr qint32 kStreamIds = 8;

class PacketSink : public USBPacketHandler, public QObject
{
public:
    void requestFinished(const USBQueueEntry &, const USBResult &) override {}
    void errorOccurred(const USBResult &, const QPointer<QObject> &) override {}
    void packetReceived(qint32 id, const QByteArray &) override { received.append(id); }
    bool acceptsPacket(qint32 id) override { return id >= 0 && id < kStreamIds; }

    bool event(QEvent *event) override
    {
        if (event->type() != USBPacketStreamEvent::kType)
            return QObject::event(event);
        received.append(static_cast<USBPacketStreamEvent *>(event)->id);
        return true;
    }

    QVector<qint32> received;
};

QList<ChunkedUnitChannel::Chunk> chunksOf(FuzzInput &input)
{
    QList<ChunkedUnitChannel::Chunk> chunks;
    while (!input.atEnd()) {
        const quint8 control = input.byte();
        ChunkedUnitChannel::Chunk chunk;
        chunk.waitsForCommand = (control & 0x80) != 0;
        chunk.stampsId = (control & 0x40) != 0;
        if (chunk.stampsId)
            chunk.requestsBack = input.byte() & 3;
        chunk.bytes = input.bytes(control & 0x3F);
        chunks.append(chunk);
    }
    return chunks;
}

QString checkOutcome(const ScriptedRequest &request, const USBResult &result)
{
    const USBResult stored = request.result();
    if (stored.code != result.code || stored.message != result.message)
        return QStringLiteral("the request holds another result than execute returned");
    if (result.isOk() && !request.raw && request.replyData().size() != request.expectedReplyLength())
        return QStringLiteral("a reply of %1 bytes accepted for a request expecting %2")
            .arg(request.replyData().size())
            .arg(request.expectedReplyLength());
    if (!result.isOk() && request.raw)
        return QStringLiteral("a raw request failed: %1").arg(result.message);
    return QString();
}

} // namespace

QString FuzzEntries::packetEngine(const QByteArray &bytes)
{
    FuzzInput input(bytes);
    const quint8 settings = input.byte();
    QVector<boost::shared_ptr<ScriptedRequest>> requests;
    for (int i = 0; i <= (settings & 3); ++i) {
        const quint8 shape = input.byte();
        auto request = boost::make_shared<ScriptedRequest>(0x41, QByteArray(shape >> 6, char(0xA5)), shape & 0x1F);
        request->raw = (shape & 0x20) != 0;
        requests.append(request);
    }
    ChunkedUnitChannel channel(chunksOf(input));

    PacketSink sink;
    USBPacketProtocol protocol;
    if (settings & 4)
        protocol.setPacketHandler(&sink);
    if (settings & 8) {
        for (qint32 id = 0; id < kStreamIds; ++id)
            protocol.setStreamReceiver(id, &sink);
    }
    protocol.setSocket(channel.clone());

    QString broken;
    QList<QByteArray> expectedWrites;
    for (const auto &request : requests) {
        const USBResult result = protocol.execute(request);
        if (request->raw) {
            expectedWrites << QByteArray(1, char(request->commandCode())) << request->payload();
            if (request->payload().isEmpty())
                expectedWrites.removeLast();
        } else {
            expectedWrites << USBPacketFramer::requestPacket(*request);
        }
        if (broken.isEmpty())
            broken = checkOutcome(*request, result);
    }
    if (broken.isEmpty() && channel.writes() != expectedWrites)
        broken = QStringLiteral("the host wrote other bytes than its requests");

    protocol.setSocket(USBISocketPtr());
    QCoreApplication::sendPostedEvents(&sink, 0);
    return broken;
}
