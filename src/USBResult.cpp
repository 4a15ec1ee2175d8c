#include "USBResult.h"

namespace {

// Indexed by the D2XX status number; 9 and 10 share a text.
const char *const kStatusTexts[] = {
    "Valid",
    "Invalid handle",
    "Device not found",
    "Device not opened",
    "Communication error",
    "Insufficient resources",
    "Invalid parameter",
    "Invalid BAUD rate",
    "Unable to erase",
    "Unable to write",
    "Unable to write",
    "Unable to read EEPROM",
    "Unable to write EEPROM",
    "Unable to erase EEPROM",
    "EEPROM not present",
    "EEPROM not programmed",
    "Invalid arguments",
    "Unsupported devices",
};
constexpr quint32 kStatusTextCount = sizeof(kStatusTexts) / sizeof(kStatusTexts[0]);
static_assert(kStatusTextCount == 18, "statuses 0 to 17 have their own text");

} // namespace

USBResult::USBResult(const QString &message, quint32 code)
    : code(code)
    , message(message)
{
}

QString USBResult::toString() const
{
    return isOk() ? QStringLiteral("Success") : message;
}

USBResult USBResult::fromFtStatus(quint32 status)
{
    const char *text = status < kStatusTextCount ? kStatusTexts[status] : "Unknown error";
    return USBResult(QString::fromLatin1(text), status == 0 ? Success : Error);
}
