#include "CallRecord.h"

QString CallRecord::line() const
{
    const QString result = code == 0 ? resultText : QStringLiteral("code %1: %2").arg(code).arg(resultText);
    return QStringLiteral("%1 → %2, %3 ms").arg(call, result).arg(milliseconds, 0, 'f', 1);
}
