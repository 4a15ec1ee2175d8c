// The one result type of the transport and the request layers: a code (0 success, 1 warning,
// 2 error) and a human-readable message.
#ifndef USBRESULT_H
#define USBRESULT_H

#include <QString>
#include <cstdint>

class USBResult
{
public:
    enum Code : quint32 { Success = 0, Warning = 1, Error = 2 };

    USBResult() = default;
    USBResult(const QString &message, quint32 code);

    bool isOk() const { return code == Success; }
    // "Success" for a result of code 0, whatever message it carries.
    QString toString() const;

    // Never throws; every status from 18 upward reads "Unknown error".
    static USBResult fromFtStatus(quint32 status);

    quint32 code = Success;
    QString message;
};

#endif // USBRESULT_H
