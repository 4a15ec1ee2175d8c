// One command to a device and, once executed, its reply and outcome. The protocol asks the
// request how to frame and check it and stores the reply and the result back into it.
#ifndef USBICOMMREQUEST_H
#define USBICOMMREQUEST_H

#include "USBISocket.h"
#include "USBResult.h"

#include <QByteArray>
#include <boost/shared_ptr.hpp>

class USBICommRequest
{
public:
    virtual ~USBICommRequest() = default;                                    // 0
    virtual bool isRaw() const = 0;                                          // 1: written unframed, no reply read
    virtual quint8 commandCode() const = 0;                                  // 2
    virtual QByteArray payload() const = 0;                                  // 3
    virtual bool isCommand(qint32 command) const = 0;                        // 4
    virtual void setReplyData(const QByteArray &data) = 0;                   // 5
    virtual QByteArray replyData() const = 0;                                // 6
    virtual USBResult checkStatus(quint8 status) const = 0;                  // 7
    virtual qint32 expectedReplyLength() const = 0;                          // 8
    virtual bool hasCustomReplyParser() const = 0;                           // 9
    virtual USBResult parseReply(const QByteArray &data) = 0;                // 10
    virtual USBResult receiveRaw(const boost::shared_ptr<USBISocket> &socket) = 0; // 11
    virtual qint32 id() const = 0;                                           // 12
    virtual void setResult(const USBResult &result) = 0;                     // 13
    virtual bool hasResult() const = 0;                                      // 14
    virtual USBResult result() const = 0;                                    // 15
    virtual boost::shared_ptr<void> attachment() const { return boost::shared_ptr<void>(); } // 16

    // The process-wide request id counter shared by every request class: 101, 102, ...
    static qint32 nextRequestId();
};

typedef boost::shared_ptr<USBICommRequest> USBICommRequestPtr;

#endif // USBICOMMREQUEST_H
