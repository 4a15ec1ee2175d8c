// The common bookkeeping of a request: id, reply bytes, result and the result-stored flag.
#ifndef USBDEFAULTCOMMREQUEST_H
#define USBDEFAULTCOMMREQUEST_H

#include "USBICommRequest.h"

#include <QMutex>

class USBDefaultCommRequest : public USBICommRequest
{
public:
    USBDefaultCommRequest();

    bool isCommand(qint32 command) const override;
    void setReplyData(const QByteArray &data) override;
    QByteArray replyData() const override;
    bool hasCustomReplyParser() const override;
    USBResult parseReply(const QByteArray &data) override;
    USBResult receiveRaw(const boost::shared_ptr<USBISocket> &socket) override;
    qint32 id() const override;
    void setResult(const USBResult &result) override;
    bool hasResult() const override;
    USBResult result() const override;

private:
    mutable QMutex m_mutex;  // guards m_result and m_hasResult in setResult and hasResult
    qint32 m_id;
    QByteArray m_replyData;
    USBResult m_result;
    bool m_hasResult = false;
};

#endif // USBDEFAULTCOMMREQUEST_H
