// The input: a record byte (bits 0-2: the record; bit 7: read from a data stream instead of
// decoded from reply bytes), a versions byte (bits 0-1: hardware 1.1, 1.2, 10.1 or 27.1;
// bits 2-3: firmware 1.0, 2.1, 3.0 or 4.1), then the reply bytes or the stream.
#include "FuzzEntries.h"
#include "FuzzInput.h"
#include "VelmorDriverAdvancedMotorMoveConfiguration.h"
#include "VelmorDriverInputConfiguration.h"
#include "VelmorDriverMotionConfiguration.h"
#include "VelmorDriverMotorConfiguration.h"
#include "VelmorDriverMotorInfo.h"
#include "VelmorDriverPWMSettings.h"

#include <QDataStream>
#include <QSet>
#include <cmath>

namespace {

const VersionNumber kHardware[] = {{1, 1}, {1, 2}, {10, 1}, {27, 1}};
const VersionNumber kFirmware[] = {{1, 0}, {2, 1}, {3, 0}, {4, 1}};

struct Versions
{
    VersionNumber hardware;
    VersionNumber firmware;
};

template <typename Record>
QByteArray streamed(const Record &record)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    record.write(stream);
    return bytes;
}

// False when the stream names a version the record does not know.
template <typename Record>
bool readFrom(const QByteArray &bytes, Record &record)
{
    QDataStream stream(bytes);
    try {
        record.read(stream);
    } catch (const StreamableVersionException &) {
        return false;
    }
    return true;
}

// What a record sends to the unit must survive storing it in a stream and reading it back.
template <typename Record, typename Encode>
QString checkStoredRecord(const Record &record, Encode encode)
{
    Record loaded;
    if (!readFrom(streamed(record), loaded))
        return QStringLiteral("a record refused its own stream");
    if (encode(loaded) != encode(record))
        return QStringLiteral("stored and read back, the record encodes %1 instead of %2")
            .arg(QString::fromLatin1(encode(loaded).toHex(' ')), QString::fromLatin1(encode(record).toHex(' ')));
    return QString();
}

// Decoding reply bytes and encoding the record gives the bytes back, flag bytes (any non-zero
// byte is true) as 1 or 0.
QString checkReencoded(const QByteArray &reply, const QByteArray &encoded, const QSet<int> &flagOffsets)
{
    QByteArray expected = reply;
    for (int offset : flagOffsets) {
        if (offset < expected.size())
            expected[offset] = expected.at(offset) != 0 ? 1 : 0;
    }
    if (encoded != expected)
        return QStringLiteral("reply %1 encodes back as %2")
            .arg(QString::fromLatin1(reply.toHex(' ')), QString::fromLatin1(encoded.toHex(' ')));
    return QString();
}

QString firstBroken(std::initializer_list<QString> checks)
{
    for (const QString &check : checks) {
        if (!check.isEmpty())
            return check;
    }
    return QString();
}

QString decodeMotion(FuzzInput &input, Versions versions)
{
    const int length = VelmorDriverMotionConfiguration::usesLongLayout(versions.hardware) ? 11 : 8;
    const QByteArray reply = input.bytes(length);
    if (reply.size() != length)
        return QString();
    VelmorDriverMotionConfiguration record(reply, versions.hardware);
    const auto encode = [&](const VelmorDriverMotionConfiguration &r) { return r.encode(versions.hardware); };
    const QString reencoded = checkReencoded(reply, encode(record), {});
    record.validate(versions.hardware);
    if (encode(record).size() != length)
        return QStringLiteral("a validated motion configuration changed its layout");
    return firstBroken({reencoded, checkStoredRecord(record, encode)});
}

QString decodeMotor(FuzzInput &input, Versions versions)
{
    const bool longLayout = VelmorDriverMotorConfiguration::usesLongLayout(versions.hardware, versions.firmware);
    const int length = longLayout ? 11 : 10;
    const QByteArray reply = input.bytes(length);
    if (reply.size() != length)
        return QString();
    VelmorDriverMotorConfiguration record(reply, versions.hardware, versions.firmware);
    const auto encode = [&](const VelmorDriverMotorConfiguration &r) {
        return r.encode(versions.hardware, versions.firmware);
    };
    const QString reencoded = checkReencoded(reply, encode(record), {6, 10});
    record.validate(versions.hardware);
    const qint32 current = record.intValue(VelmorDriverMotorConfiguration::Current);
    if (current < 50 || current > VelmorDriverMotorConfiguration::maximumCurrent(versions.hardware))
        return QStringLiteral("a validated current of %1 mA").arg(current);
    return firstBroken({reencoded, checkStoredRecord(record, encode)});
}

QString decodeAdvancedMove(FuzzInput &input)
{
    const QByteArray reply = input.bytes(11);
    if (reply.size() != 11)
        return QString();
    VelmorDriverAdvancedMotorMoveConfiguration record(reply);
    const auto encode = [](const VelmorDriverAdvancedMotorMoveConfiguration &r) { return r.encode(); };
    return firstBroken({checkReencoded(reply, encode(record), {0, 5, 6}), checkStoredRecord(record, encode)});
}

QString decodeMotorInfo(FuzzInput &input, Versions versions)
{
    const QByteArray reply = input.bytes(14);
    if (reply.size() != 14)
        return QString();
    const VelmorDriverMotorInfo info(reply);
    const double steps = info.positionInSteps(versions.hardware);
    if (!std::isfinite(steps) || std::fabs(steps) > std::fabs(double(info.position())))
        return QStringLiteral("position %1 gives %2 steps").arg(info.position()).arg(steps);
    return QString();
}

// Qt 5 crashes writing some values read from a damaged stream (a date-time with a time zone it
// does not know). The library itself stores numbers, flags and texts only: a record holding just
// those must store and read back intact; one holding other types is only encoded.
template <typename Record>
class InspectedRecord : public Record
{
public:
    bool holdsLibraryTypesOnly() const
    {
        static const QSet<int> libraryTypes = {QMetaType::Bool, QMetaType::Int, QMetaType::UInt, QMetaType::LongLong,
                                               QMetaType::ULongLong, QMetaType::Double, QMetaType::QString};
        for (const QVariant &value : this->m_values) {
            if (!libraryTypes.contains(value.userType()))
                return false;
        }
        return true;
    }
};

template <typename Record, typename Encode>
QString readStoredRecord(const QByteArray &stream, Encode encode)
{
    InspectedRecord<Record> record;
    if (!readFrom<Record>(stream, record))
        return QString();
    encode(record);
    if (!record.holdsLibraryTypesOnly())
        return QString();
    return checkStoredRecord<Record>(record, encode);
}

QString readStream(quint8 kind, const QByteArray &stream, Versions versions)
{
    const VersionNumber hardware = versions.hardware;
    const VersionNumber firmware = versions.firmware;
    switch (kind % 6) {
    case 0:
        return readStoredRecord<VelmorDriverMotionConfiguration>(
            stream, [&](const VelmorDriverMotionConfiguration &r) { return r.encode(hardware); });
    case 1:
        return readStoredRecord<VelmorDriverMotorConfiguration>(
            stream, [&](const VelmorDriverMotorConfiguration &r) { return r.encode(hardware, firmware); });
    case 2:
        return readStoredRecord<VelmorDriverAdvancedMotorMoveConfiguration>(
            stream, [](const VelmorDriverAdvancedMotorMoveConfiguration &r) { return r.encode(); });
    case 3:
        return readStoredRecord<VelmorDriverInputConfiguration>(
            stream, [&](const VelmorDriverInputConfiguration &r) { return r.encode(hardware, firmware); });
    default:
        return readStoredRecord<VelmorDriverPWMSettings>(
            stream, [&](const VelmorDriverPWMSettings &r) { return r.encode(hardware, firmware); });
    }
}

} // namespace

QString FuzzEntries::records(const QByteArray &bytes)
{
    FuzzInput input(bytes);
    const quint8 kind = input.byte();
    const quint8 versionChoice = input.byte();
    const Versions versions{kHardware[versionChoice & 3], kFirmware[(versionChoice >> 2) & 3]};
    if (kind & 0x80)
        return readStream(kind & 7, input.rest(), versions);
    switch (kind % 4) {
    case 0:
        return decodeMotion(input, versions);
    case 1:
        return decodeMotor(input, versions);
    case 2:
        return decodeAdvancedMove(input);
    default:
        return decodeMotorInfo(input, versions);
    }
}
