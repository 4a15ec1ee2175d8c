// The in-memory channel, with the unit's bytes scripted as chunks: a chunk goes out when the
// host looks for bytes, or, if it waits for a command, when the host writes its next request.
// A chunk may carry the id of a request the host wrote, so that replies can match. When
// nothing more is to come, a query of the empty channel fails at once, as the real one would
// after its time-out: no input makes the engine wait.
#ifndef VELMOR_FUZZ_CHUNKEDUNITCHANNEL_H
#define VELMOR_FUZZ_CHUNKEDUNITCHANNEL_H

#include "FakeSocket.h"

#include <QList>
#include <QVector>
#include <memory>

class ChunkedUnitChannel : public FakeSocket
{
public:
    struct Chunk
    {
        QByteArray bytes;
        bool waitsForCommand = false;
        // With an id stamp, bytes 1 to 4 become the id of the request written this many
        // requests before the latest (0: the latest); chunks shorter than 5 bytes keep theirs.
        bool stampsId = false;
        int requestsBack = 0;
    };

    explicit ChunkedUnitChannel(const QList<Chunk> &chunks);

    USBISocketPtr clone() const override;
    quint32 write(const QByteArray &data) override;
    void readInto(char *buffer, quint32 count) override;
    qint32 readAvailable(QByteArray &buffer, qint32 wantedTotal) override;
    quint32 bytesAvailable() override;

    bool allSent() const;

private:
    struct Script
    {
        QList<Chunk> chunks;
        QVector<qint32> writtenIds;
    };

    // Sends on-demand chunks until `wanted` bytes wait or a chunk waits for a command.
    void sendUntil(quint32 wanted);
    void send(Chunk chunk);
    quint32 queued();

    std::shared_ptr<Script> m_script;
};

#endif
