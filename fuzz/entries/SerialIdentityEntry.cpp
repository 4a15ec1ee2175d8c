// The input: a mode byte, then the serial number's bytes, as Latin-1 (even modes, what the D2XX
// lists) or as UTF-8 (odd modes, text from a host).
#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "USBDeviceIdentity.h"

namespace {

bool isDigits(const QString &text)
{
    for (const QChar character : text) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

// A serial accepted as valid must have the shape the parser documents.
QString checkAccepted(const QString &serial, const USBDeviceIdentity &identity)
{
    const QString text = serial.toLower();
    const bool shaped = (serial.size() == 9 || serial.size() == 13) && text.startsWith(QLatin1String("jx"))
        && (text.at(2) == QLatin1Char('a') || text.at(2) == QLatin1Char('b'))
        && (text.at(3) == QLatin1Char('h') || text.at(3) == QLatin1Char('p')) && isDigits(text.mid(4, 5))
        && (serial.size() == 9 || isDigits(text.mid(9, 4)) || text.mid(9, 4) == QLatin1String("xxxx"));
    if (identity.valid != shaped)
        return QStringLiteral("serial \"%1\" %2").arg(serial, identity.valid ? "accepted" : "refused");
    if (identity.valid && (identity.major > 999 || identity.minor > 99 || identity.unitNumber > 9999))
        return QStringLiteral("serial \"%1\" gives fields out of range").arg(serial);
    return QString();
}

} // namespace

QString FuzzEntries::serialIdentity(const QByteArray &bytes)
{
    FuzzInput input(bytes);
    const quint8 mode = input.byte();
    const QByteArray text = input.rest();
    const QString serial = mode % 2 == 0 ? QString::fromLatin1(text) : QString::fromUtf8(text);
    return checkAccepted(serial, identityFromSerial(serial));
}
