// A request of the motor-driver command set: the command code and the reply length follow
// from the unit's hardware version, its firmware version and the action number.
#ifndef VELMORDRIVERCOMMREQUEST_H
#define VELMORDRIVERCOMMREQUEST_H

#include "USBDefaultCommRequest.h"
#include "VersionNumber.h"

#include <QHash>

class VelmorDriverCommRequest : public USBDefaultCommRequest
{
public:
    // Precondition: supports(descriptor, action).
    VelmorDriverCommRequest(VersionNumber descriptor, VersionNumber firmwareVersion, qint32 action);

    // Whether the hardware version knows the action; callers check before building a request.
    static bool supports(VersionNumber descriptor, qint32 action);

    void setPayload(const QByteArray &data);
    qint32 action() const { return m_action; }

    bool isRaw() const override;
    quint8 commandCode() const override;
    QByteArray payload() const override;
    USBResult checkStatus(quint8 status) const override;
    qint32 expectedReplyLength() const override;

private:
    static void fillCommandMap();
    static qint32 replyLength(VersionNumber descriptor, VersionNumber firmwareVersion, qint32 action);

    static QHash<VersionNumber, QHash<qint32, quint8>> s_commandMap;

    QByteArray m_payload;
    qint32 m_action;
    quint8 m_commandCode = 0;
    qint32 m_expectedReplyLength = 0;
};

#endif // VELMORDRIVERCOMMREQUEST_H
