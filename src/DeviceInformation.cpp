#include "DeviceInformation.h"

namespace {

// Offsets and widths within an information page.
constexpr int kFormatOffset = 3;
constexpr int kNameOffset = 4;
constexpr int kNameWidth = 40;
constexpr int kSerialNumberOffset = 44;
constexpr int kSerialNumberWidth = 16;
constexpr int kNumbersOffset = 60;
constexpr int kNumberFOffset = 74;
constexpr int kEntriesOffset = 76;
constexpr int kLabelWidth = 16;
constexpr int kEntryWidth = 1 + kLabelWidth + 4 * 2;
constexpr char kEntryIntroducer = 0x01;

const QByteArray kPageHeader("\x35\x72\xD1", 3);

quint16 bigEndian16(const QByteArray &page, int offset)
{
    return static_cast<quint16>(static_cast<quint8>(page.at(offset)) * 256u + static_cast<quint8>(page.at(offset + 1)));
}

// Latin-1 text in a fixed-width field, ending at its first zero byte.
QString fixedText(const QByteArray &page, int offset, int width)
{
    const QByteArray field = page.mid(offset, width);
    const int end = field.indexOf('\0');
    return QString::fromLatin1(end < 0 ? field : field.left(end));
}

} // namespace

DeviceInformation DeviceInformation::fromPage(const QByteArray &page)
{
    DeviceInformation information;
    if (page.size() < kMinimumPageSize || !page.startsWith(kPageHeader))
        return information;
    const quint8 format = static_cast<quint8>(page.at(kFormatOffset));
    if (format != 1 && format != 2)
        return information;

    information.decodeCommonFields(page);
    if (format == 2) {
        information.numberF = bigEndian16(page, kNumberFOffset);
        information.decodeEntries(page);
    }
    information.decoded = true;
    information.valid = information.hasAcceptableSerialNumber(format);
    return information;
}

void DeviceInformation::decodeCommonFields(const QByteArray &page)
{
    name = fixedText(page, kNameOffset, kNameWidth);
    serialNumber = fixedText(page, kSerialNumberOffset, kSerialNumberWidth);
    numberA = bigEndian16(page, kNumbersOffset);
    numberB = bigEndian16(page, kNumbersOffset + 2);
    firmwareMajor = bigEndian16(page, kNumbersOffset + 4);
    firmwareMinor = bigEndian16(page, kNumbersOffset + 6);
    numberC = bigEndian16(page, kNumbersOffset + 8);
    numberD = bigEndian16(page, kNumbersOffset + 10);
    numberE = bigEndian16(page, kNumbersOffset + 12);
}

void DeviceInformation::decodeEntries(const QByteArray &page)
{
    // An entry list that runs off the end of the page just ends there.
    for (int offset = kEntriesOffset; offset + kEntryWidth <= page.size() && page.at(offset) == kEntryIntroducer;
         offset += kEntryWidth) {
        Entry entry;
        entry.label = fixedText(page, offset + 1, kLabelWidth);
        for (int i = 0; i < 4; ++i)
            entry.numbers[static_cast<size_t>(i)] = bigEndian16(page, offset + 1 + kLabelWidth + 2 * i);
        entries.append(entry);
    }
}

bool DeviceInformation::hasAcceptableSerialNumber(quint8 format) const
{
    const QString serial = serialNumber.toLower();
    if (serial.size() < 5)
        return false;
    if (!serial.startsWith(format == 1 ? QLatin1String("jxa") : QLatin1String("jx")))
        return false;
    return serial.at(3) == QLatin1Char('h') || serial.at(3) == QLatin1Char('p');
}
