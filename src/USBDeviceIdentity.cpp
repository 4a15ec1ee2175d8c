#include "USBDeviceIdentity.h"

#include "USBDevice.h"

namespace {

bool parseDigits(const QString &text, quint32 *value)
{
    if (text.isEmpty())
        return false;
    quint32 result = 0;
    for (const QChar character : text) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9'))
            return false;
        result = result * 10 + static_cast<quint32>(character.unicode() - '0');
    }
    *value = result;
    return true;
}

} // namespace

USBDeviceIdentity identityFromSerial(const QString &serial)
{
    USBDeviceIdentity identity;
    if (serial.size() != 9 && serial.size() != 13)
        return identity;
    const QString text = serial.toLower();
    if (!text.startsWith(QLatin1String("jx")))
        return identity;

    const QChar flowControl = text.at(2);
    if (flowControl == QLatin1Char('a'))
        identity.flowControl = 0;
    else if (flowControl == QLatin1Char('b'))
        identity.flowControl = 1;
    else
        return identity;

    const QChar model = text.at(3);
    if (model == QLatin1Char('h'))
        identity.modelLetter = 0;
    else if (model == QLatin1Char('p'))
        identity.modelLetter = 1;
    else
        return identity;

    if (!parseDigits(text.mid(4, 3), &identity.major) || !parseDigits(text.mid(7, 2), &identity.minor))
        return identity;

    if (text.size() == 13) {
        const QString number = text.mid(9, 4);
        if (number == QLatin1String("xxxx"))
            identity.numberWildcard = true;
        else if (!parseDigits(number, &identity.unitNumber))
            return identity;
    }
    identity.valid = true;
    return identity;
}

VersionNumber hardwareVersion(const USBDevice &device)
{
    const USBDeviceIdentity identity = identityFromSerial(device.serialNumber);
    return VersionNumber(identity.major, identity.minor);
}

bool hasOwnSerialPrefix(const USBDevice &device)
{
    return device.serialNumber.startsWith(QLatin1String("JX"));
}
