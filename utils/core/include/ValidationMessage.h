// One repair that a record's validation made, in words.
#ifndef VALIDATIONMESSAGE_H
#define VALIDATIONMESSAGE_H

#include <QString>

class ValidationMessage
{
public:
    ValidationMessage() = default;
    ValidationMessage(const QString &text, qint32 severity)
        : text(text)
        , severity(severity)
    {
    }

    QString text;
    qint32 severity = 0; // every message the records produce has severity 1
};

#endif // VALIDATIONMESSAGE_H
