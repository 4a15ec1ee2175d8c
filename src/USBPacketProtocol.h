// The packet engine: frames requests as type-0x05 packets, reads the device's packets (types
// 0x05 and 0x07) from the same channel, matches replies to requests by id and checks them.
// execute() runs in the caller's thread; posted requests are worked off by the worker thread.
#ifndef USBPACKETPROTOCOL_H
#define USBPACKETPROTOCOL_H

#include "USBIProtocol.h"
#include "USBPacketRecord.h"
#include "USBQueueEntry.h"

#include <QElapsedTimer>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QVector>

class USBPacketProtocol : public USBIProtocol, public QThread
{
public:
    USBPacketProtocol();
    ~USBPacketProtocol() override;

    void setPollInterval(qint32 microseconds) override;
    bool isRunning() const override;
    void setStreamReceiver(qint32 id, QObject *receiver) override;
    void removeStreamReceiver(qint32 id) override;
    void setErrorReceiver(QObject *receiver) override;
    void setPacketHandler(USBPacketHandler *handler) override;
    void start() override;
    void stop() override;
    USBISocketPtr socket() const override;
    USBResult execute(const USBICommRequestPtr &request) override;
    void postRequest(const USBICommRequestPtr &request, QObject *receiver) override;
    void cancelPendingRequests() override;
    bool isIdle() const override;
    void waitForIdle() override;
    void setSocket(const USBISocketPtr &socket) override;

    static constexpr int kReplyTimeoutMs = 4000;
    static constexpr int kReplyPollMs = 2;
    static constexpr int kDetachWaitMs = 5000;

protected:
    void run() override;
    // The pause between two receive passes while execute waits for its reply.
    virtual void waitForNextPoll();

private:
    // Reads every complete packet the channel offers and delivers it. A reply waiting to be
    // claimed, or the deadline passing (when one is given), ends the pass.
    void processIncoming(const QElapsedTimer *clock = nullptr, qint64 deadlineMs = 0);
    void readPacket();
    void deliver(const USBPacketRecord &packet);
    void discardIncoming();
    USBResult awaitReply(qint32 id, USBPacketRecord *reply);
    USBResult checkReply(const USBICommRequestPtr &request, const USBPacketRecord &reply);
    bool refreshActiveSocket();
    void runQueue();
    void reportIdleReadFailure(const USBResult &failure);
    void startWorker(quint32 priority);

    mutable QMutex m_mutex;
    bool m_stopRequested = false;
    USBISocketPtr m_activeSocket;
    USBISocketPtr m_socket;
    QMap<qint32, QPointer<QObject>> m_streamReceivers;
    QPointer<QObject> m_errorReceiver;
    QVector<USBQueueEntry> m_queue;
    QMap<qint32, USBICommRequestPtr> m_pendingRequests;
    QByteArray m_currentPacketHeaderData;
    USBPacketRecord m_currentPacket;
    QMap<qint32, USBPacketRecord> m_replies;
    qint32 m_pollInterval = 5000;
    USBPacketHandler *m_packetHandler = nullptr;
};

#endif // USBPACKETPROTOCOL_H
