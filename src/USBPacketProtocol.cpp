#include "USBPacketProtocol.h"

#include "Assert.h"
#include "USBPacketFramer.h"
#include "USBPacketErrorEvent.h"
#include "USBPacketHandler.h"
#include "USBPacketStreamEvent.h"
#include "USBRequestEvent.h"

#include <QCoreApplication>
#include "ThreadAnnotations.h"

namespace {

// Events go out with normal priority; a receiver that reads one is ordered after its making.
void postEvent(QObject *receiver, QEvent *event)
{
    VELMOR_HAPPENS_BEFORE(event);
    QCoreApplication::postEvent(receiver, event, 0);
}

} // namespace

USBPacketProtocol::USBPacketProtocol() = default;

USBPacketProtocol::~USBPacketProtocol()
{
    // Destroying a running QThread aborts the process; an owner that forgot to detach the
    // channel gets its worker stopped here instead. A worker that ended by itself may still be
    // leaving run(): wait for it either way.
    stop();
    wait();
}

void USBPacketProtocol::setPollInterval(qint32 microseconds)
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_pollInterval = microseconds;
}

bool USBPacketProtocol::isRunning() const
{
    return QThread::isRunning();
}

void USBPacketProtocol::setStreamReceiver(qint32 id, QObject *receiver)
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_streamReceivers.insert(id, QPointer<QObject>(receiver));
}

void USBPacketProtocol::removeStreamReceiver(qint32 id)
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_streamReceivers.remove(id);
}

void USBPacketProtocol::setErrorReceiver(QObject *receiver)
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_errorReceiver = receiver;
}

void USBPacketProtocol::setPacketHandler(USBPacketHandler *handler)
{
    VELMOR_ASSERT(!isRunning());
    m_packetHandler = handler;
}

void USBPacketProtocol::startWorker(quint32 priority)
{
    QThread::start(QThread::Priority(priority));
}

void USBPacketProtocol::start()
{
    if (m_activeSocket && !isRunning())
        startWorker(m_activeSocket->threadPriority());
}

void USBPacketProtocol::stop()
{
    if (!isRunning())
        return;
    {
        AnnotatedMutexLocker locker(&m_mutex);
        m_stopRequested = true;
    }
    wait();
    VELMOR_HAPPENS_AFTER(this);
    AnnotatedMutexLocker locker(&m_mutex);
    m_stopRequested = false;
}

USBISocketPtr USBPacketProtocol::socket() const
{
    AnnotatedMutexLocker locker(&m_mutex);
    return m_activeSocket;
}

USBResult USBPacketProtocol::execute(const USBICommRequestPtr &request)
{
    {
        AnnotatedMutexLocker locker(&m_mutex);
        m_activeSocket = m_socket;
    }
    request->setResult(USBResult());
    try {
        if (!m_activeSocket)
            throw USBResult(QStringLiteral("Invalid communication handle."), USBResult::Error);
        if (request->isRaw()) {
            m_activeSocket->writeByte(request->commandCode());
            m_activeSocket->write(request->payload());
            return USBResult();
        }
        m_activeSocket->write(USBPacketFramer::requestPacket(*request));
        m_pendingRequests.insert(request->id(), request);
        USBPacketRecord reply;
        const USBResult waited = awaitReply(request->id(), &reply);
        if (!waited.isOk())
            throw waited;
        const USBResult checked = checkReply(request, reply);
        if (!checked.isOk())
            throw checked;
        return USBResult();
    } catch (const USBResult &failure) {
        request->setResult(failure);
        return failure;
    }
}

USBResult USBPacketProtocol::awaitReply(qint32 id, USBPacketRecord *reply)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const auto stored = m_replies.find(id);
        if (stored != m_replies.end()) {
            *reply = stored.value();
            m_replies.erase(stored);
            m_pendingRequests.remove(id);
            return USBResult();
        }
        processIncoming(&clock, kReplyTimeoutMs);
        if (clock.elapsed() > kReplyTimeoutMs) {
            m_pendingRequests.remove(id);
            return USBResult(QStringLiteral("Communication timed out"), USBResult::Error);
        }
        // A pass that stored the awaited reply hands it over now, not one poll step later.
        if (!m_replies.contains(id))
            waitForNextPoll();
    }
}

void USBPacketProtocol::waitForNextPoll()
{
    QThread::msleep(kReplyPollMs);
}

USBResult USBPacketProtocol::checkReply(const USBICommRequestPtr &request, const USBPacketRecord &reply)
{
    const USBResult status = request->checkStatus(reply.status);
    if (!status.isOk())
        return status;
    if (request->hasCustomReplyParser())
        return request->parseReply(reply.data);
    if (reply.data.size() != request->expectedReplyLength())
        return USBResult(QStringLiteral("Unexpected packet length."), USBResult::Error);
    request->setReplyData(reply.data);
    return USBResult();
}

void USBPacketProtocol::processIncoming(const QElapsedTimer *clock, qint64 deadlineMs)
{
    try {
        while (m_activeSocket->bytesAvailable() > 0) {
            readPacket();
            deliver(m_currentPacket);
            m_currentPacketHeaderData.clear();
            m_currentPacket = USBPacketRecord();
            if (!m_replies.isEmpty())
                return;
            // A unit that never stops sending must not hold the caller past its time-out.
            if (clock != nullptr && clock->elapsed() > deadlineMs)
                return;
        }
    } catch (const USBResult &) {
        discardIncoming();
        throw;
    }
}

void USBPacketProtocol::readPacket()
{
    m_currentPacketHeaderData.resize(1);
    m_activeSocket->readInto(m_currentPacketHeaderData.data(), 1);
    VELMOR_ASSERT(m_currentPacketHeaderData.count() == 1);
    const int headerSize = USBPacketFramer::headerSize(static_cast<quint8>(m_currentPacketHeaderData.at(0)));
    if (headerSize == 0)
        throw USBResult(QStringLiteral("Communication stream is corrupted."), USBResult::Error);
    m_currentPacketHeaderData.resize(headerSize);
    m_activeSocket->readInto(m_currentPacketHeaderData.data() + 1, static_cast<quint32>(headerSize - 1));
    VELMOR_ASSERT(m_currentPacketHeaderData.count() == headerSize);
    m_currentPacket = USBPacketFramer::packetOf(m_currentPacketHeaderData);
    m_currentPacket.data.resize(m_currentPacket.length);
    if (m_currentPacket.length > 0)
        m_activeSocket->readInto(m_currentPacket.data.data(), static_cast<quint32>(m_currentPacket.length));
}

void USBPacketProtocol::deliver(const USBPacketRecord &packet)
{
    if (m_packetHandler != nullptr) {
        if (m_packetHandler->acceptsPacket(packet.id))
            m_packetHandler->packetReceived(packet.id, packet.data);
        else if (m_pendingRequests.contains(packet.id))
            m_replies.insert(packet.id, packet);
        return;
    }
    AnnotatedMutexLocker locker(&m_mutex);
    const auto receiver = m_streamReceivers.constFind(packet.id);
    if (receiver != m_streamReceivers.constEnd()) {
        if (!receiver.value().isNull())
            postEvent(receiver.value().data(), new USBPacketStreamEvent(packet.id, packet.data, USBResult()));
        return;
    }
    if (m_pendingRequests.contains(packet.id))
        m_replies.insert(packet.id, packet);
    // Otherwise nobody waits for it (a late reply to a request that timed out ends here).
}

void USBPacketProtocol::discardIncoming()
{
    m_currentPacketHeaderData.clear();
    m_currentPacket = USBPacketRecord();
    m_pendingRequests.clear();
    m_replies.clear();
}

void USBPacketProtocol::postRequest(const USBICommRequestPtr &request, QObject *receiver)
{
    USBQueueEntry entry;
    entry.id = request->id();
    entry.request = request;
    entry.receiver = receiver;
    if (!isRunning()) {
        VELMOR_ASSERT(m_activeSocket);
        startWorker(m_activeSocket->threadPriority());
    }
    AnnotatedMutexLocker locker(&m_mutex);
    m_queue.prepend(entry);
}

void USBPacketProtocol::cancelPendingRequests()
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_queue.clear();
}

bool USBPacketProtocol::isIdle() const
{
    if (!isRunning())
        return true;
    AnnotatedMutexLocker locker(&m_mutex);
    return m_queue.isEmpty();
}

void USBPacketProtocol::waitForIdle()
{
    while (!isIdle())
        QThread::msleep(1);
}

void USBPacketProtocol::setSocket(const USBISocketPtr &socket)
{
    {
        AnnotatedMutexLocker locker(&m_mutex);
        m_socket.reset();
        if (socket)
            m_socket = socket->clone();
        if (!isRunning())
            m_activeSocket = m_socket;
    }
    if (!m_socket) {
        if (isRunning() && wait(kDetachWaitMs))
            VELMOR_HAPPENS_AFTER(this);
        AnnotatedMutexLocker locker(&m_mutex);
        m_queue.clear();
        discardIncoming();
        return;
    }
    m_socket->applyProtocolTimeouts();
    bool queued;
    {
        AnnotatedMutexLocker locker(&m_mutex);
        queued = !m_queue.isEmpty();
    }
    if (queued && !isRunning())
        startWorker(m_socket->threadPriority());
}

bool USBPacketProtocol::refreshActiveSocket()
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_activeSocket = m_socket;
    return static_cast<bool>(m_activeSocket);
}

void USBPacketProtocol::run()
{
    struct Finished
    {
        USBPacketProtocol *protocol;
        ~Finished() { VELMOR_HAPPENS_BEFORE(protocol); }
    } finished{this};
    for (;;) {
        qint32 pollInterval;
        {
            AnnotatedMutexLocker locker(&m_mutex);
            m_activeSocket = m_socket;
            if (!m_activeSocket || m_stopRequested)
                return;
            pollInterval = m_pollInterval;
        }
        runQueue();
        if (!refreshActiveSocket())
            return;
        try {
            processIncoming();
        } catch (const USBResult &failure) {
            reportIdleReadFailure(failure);
            return;
        }
        QThread::usleep(static_cast<unsigned long>(std::max(pollInterval, 0)));
    }
}

void USBPacketProtocol::runQueue()
{
    bool hasEntries;
    {
        AnnotatedMutexLocker locker(&m_mutex);
        hasEntries = !m_queue.isEmpty();
    }
    while (hasEntries) {
        USBQueueEntry entry;
        {
            AnnotatedMutexLocker locker(&m_mutex);
            m_activeSocket = m_socket;
            if (!m_activeSocket || m_queue.isEmpty())
                return;
            entry = m_queue.last();
        }
        const USBResult result = execute(entry.request);
        if (m_packetHandler != nullptr)
            m_packetHandler->requestFinished(entry, result);
        else if (!entry.receiver.isNull())
            postEvent(entry.receiver.data(), new USBRequestEvent(entry.request, result));
        AnnotatedMutexLocker locker(&m_mutex);
        if (!m_queue.isEmpty())
            m_queue.removeLast();
        hasEntries = !m_queue.isEmpty();
    }
}

void USBPacketProtocol::reportIdleReadFailure(const USBResult &failure)
{
    AnnotatedMutexLocker locker(&m_mutex);
    if (m_activeSocket)
        m_activeSocket->close();
    if (m_packetHandler != nullptr)
        m_packetHandler->errorOccurred(failure, m_errorReceiver);
    else if (!m_errorReceiver.isNull())
        postEvent(m_errorReceiver.data(), new USBPacketErrorEvent(0, failure));
}
