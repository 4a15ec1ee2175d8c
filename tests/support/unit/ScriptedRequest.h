// A request whose framing and checks a test chooses.
#ifndef VELMOR_TESTS_SCRIPTEDREQUEST_H
#define VELMOR_TESTS_SCRIPTEDREQUEST_H

#include "USBDefaultCommRequest.h"

class ScriptedRequest : public USBDefaultCommRequest
{
public:
    explicit ScriptedRequest(quint8 code = 0x41, const QByteArray &payload = QByteArray(), qint32 expectedLength = 0)
        : m_code(code)
        , m_payload(payload)
        , m_expectedLength(expectedLength)
    {
    }

    bool isRaw() const override { return raw; }
    quint8 commandCode() const override { return m_code; }
    QByteArray payload() const override { return m_payload; }
    // Status 0 is success, 9 a failure, anything else a warning.
    USBResult checkStatus(quint8 status) const override
    {
        if (status == 0)
            return USBResult();
        return USBResult(QStringLiteral("status %1").arg(status), status == 9 ? USBResult::Error : USBResult::Warning);
    }
    qint32 expectedReplyLength() const override { return m_expectedLength; }

    bool raw = false;

private:
    quint8 m_code;
    QByteArray m_payload;
    qint32 m_expectedLength;
};

#endif
