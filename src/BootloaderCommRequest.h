// A request to a unit's bootloader: one opcode byte of one of two bootloader variants, either
// written raw (no reply) or framed, with the information reply read as 2 or 4 bytes and the
// page reply carrying two trailing check bytes.
#ifndef BOOTLOADERCOMMREQUEST_H
#define BOOTLOADERCOMMREQUEST_H

#include "USBICommRequest.h"

#include <QMutex>

class BootloaderCommRequest : public USBICommRequest
{
public:
    enum Command : quint32 { StartCommand = 2, ReadPageCommand = 8, InformationCommand = 10, PreparePageCommand = 11 };

    // pageSize is the argument of the page read (command 8); the other commands take 0.
    BootloaderCommRequest(quint32 variant, quint32 command, quint32 pageSize = 0);

    bool isRaw() const override;
    quint8 commandCode() const override;
    QByteArray payload() const override;
    bool isCommand(qint32 command) const override;
    void setReplyData(const QByteArray &data) override;
    // With a page size, the page without its two check bytes (precondition: the reply is the page plus its check bytes).
    QByteArray replyData() const override;
    USBResult checkStatus(quint8 status) const override;
    qint32 expectedReplyLength() const override;
    bool hasCustomReplyParser() const override;
    USBResult parseReply(const QByteArray &data) override;
    USBResult receiveRaw(const boost::shared_ptr<USBISocket> &socket) override;
    qint32 id() const override;
    void setResult(const USBResult &result) override;
    bool hasResult() const override;
    USBResult result() const override;

    // A page reply is intact when it is the page plus two trailing FF bytes.
    bool isPageIntact() const;
    // The reply as received, check bytes included.
    QByteArray receivedData() const { return m_receivedData; }
    quint32 command() const { return m_command; }
    quint32 pageSize() const { return static_cast<quint32>(m_pageSize); }

    static quint8 opcode(quint32 variant, quint32 command);

private:
    mutable QMutex m_mutex;  // guards m_result and m_hasResult
    QByteArray m_payload;
    QByteArray m_receivedData;
    quint8 m_opcode;
    quint32 m_command;
    quint32 m_variant;
    qint64 m_pageSize;  // an unsigned 32-bit size, held wide so that it compares with byte counts
    qint32 m_id;
    bool m_hasResult = false;
    USBResult m_result;
};

#endif // BOOTLOADERCOMMREQUEST_H
