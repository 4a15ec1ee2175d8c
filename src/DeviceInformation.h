// The device information that a unit's bootloader keeps in its information page: texts, the
// serial number and the firmware version, in one of two page formats.
#ifndef DEVICEINFORMATION_H
#define DEVICEINFORMATION_H

#include <QByteArray>
#include <QString>
#include <QVector>
#include <array>

class DeviceInformation
{
public:
    struct Entry
    {
        QString label;
        std::array<quint16, 4> numbers{};
    };

    static constexpr int kMinimumPageSize = 100;

    // A page that is too short, has a wrong header or an unknown format gives a record that is
    // not valid and has no fields read.
    static DeviceInformation fromPage(const QByteArray &page);

    bool valid = false;
    bool decoded = false;
    quint16 numberA = 0;
    quint16 numberB = 0;
    QString name;
    QString serialNumber;
    quint16 firmwareMajor = 0;
    quint16 firmwareMinor = 0;
    quint16 numberC = 0;
    quint16 numberD = 0;
    quint16 numberE = 0;
    quint16 numberF = 0;
    QVector<Entry> entries;

private:
    void decodeCommonFields(const QByteArray &page);
    void decodeEntries(const QByteArray &page);
    bool hasAcceptableSerialNumber(quint8 format) const;
};

#endif // DEVICEINFORMATION_H
