#include "USBDefaultCommRequest.h"

#include "ThreadAnnotations.h"

USBDefaultCommRequest::USBDefaultCommRequest()
    : m_id(nextRequestId())
{
}

bool USBDefaultCommRequest::isCommand(qint32) const
{
    return false;
}

void USBDefaultCommRequest::setReplyData(const QByteArray &data)
{
    m_replyData = data;
}

QByteArray USBDefaultCommRequest::replyData() const
{
    return m_replyData;
}

bool USBDefaultCommRequest::hasCustomReplyParser() const
{
    return false;
}

USBResult USBDefaultCommRequest::parseReply(const QByteArray &)
{
    return USBResult();
}

USBResult USBDefaultCommRequest::receiveRaw(const boost::shared_ptr<USBISocket> &)
{
    return USBResult();
}

qint32 USBDefaultCommRequest::id() const
{
    return m_id;
}

void USBDefaultCommRequest::setResult(const USBResult &result)
{
    AnnotatedMutexLocker locker(&m_mutex);
    m_result = result;
    m_hasResult = true;
}

bool USBDefaultCommRequest::hasResult() const
{
    AnnotatedMutexLocker locker(&m_mutex);
    return m_hasResult;
}

USBResult USBDefaultCommRequest::result() const
{
    // Read only after execute has returned or the request event has arrived, so no lock.
    return m_result;
}
