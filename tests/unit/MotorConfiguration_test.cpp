#include "VelmorDriverMotorConfiguration.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using Motor = VelmorDriverMotorConfiguration;

const VersionNumber hardware11(1, 1);
const VersionNumber hardware12(1, 2);
const VersionNumber hardware101(10, 1);
const VersionNumber hardware271(27, 1);

TEST(MotorConfiguration, DecodesTheShortLayout)
{
    Motor motor(QByteArray::fromHex("e803d0076400010" "2f401"), hardware12, VersionNumber(2, 0));
    EXPECT_EQ(motor.value(Motor::ScaledValueA), QVariant(1.0));
    EXPECT_EQ(motor.value(Motor::Current), QVariant(2000));
    EXPECT_EQ(motor.value(Motor::WordValue), QVariant(100));
    EXPECT_EQ(motor.value(Motor::CurrentFlag), QVariant(true));
    EXPECT_EQ(motor.value(Motor::ByteValue), QVariant(2));
    EXPECT_EQ(motor.value(Motor::ScaledValueB), QVariant(0.5));
    EXPECT_EQ(motor.value(Motor::ExtendedFlag), QVariant(false));
    EXPECT_EQ(motor.encode(hardware12, VersionNumber(2, 0)).toHex(' '), "e8 03 d0 07 64 00 01 02 f4 01");
}

TEST(MotorConfiguration, LongLayoutCarriesTheExtendedFlag)
{
    const QByteArray reply = QByteArray::fromHex("ffffffff0300ff10ffff" "07");
    Motor motor(reply, hardware101, VersionNumber(1, 0));
    EXPECT_EQ(motor.value(Motor::ScaledValueA), QVariant(65.535));
    EXPECT_EQ(motor.value(Motor::Current), QVariant(65535));
    EXPECT_EQ(motor.value(Motor::WordValue), QVariant(3));
    EXPECT_EQ(motor.value(Motor::CurrentFlag), QVariant(true));
    EXPECT_EQ(motor.value(Motor::ByteValue), QVariant(16));
    EXPECT_EQ(motor.value(Motor::ExtendedFlag), QVariant(true));
    // Flags go back as 1, the rest as read.
    EXPECT_EQ(motor.encode(hardware101, VersionNumber(1, 0)).toHex(' '), "ff ff ff ff 03 00 01 10 ff ff 01");
}

TEST(MotorConfiguration, ScaledValuesAreSentInTruncatedThousandths)
{
    const struct {
        QVariant value;
        QByteArray bytes;
    } cases[] = {
        {1.2345, QByteArray::fromHex("d204")},
        {0.0009, QByteArray::fromHex("0000")},
        {QString("2 5"), QByteArray::fromHex("a861")}, // 25000
        {65.536, QByteArray::fromHex("0000")},         // the low 16 bits of 65536
    };
    for (const auto &c : cases) {
        Motor motor;
        motor.setValue(Motor::ScaledValueA, c.value);
        motor.setValue(Motor::ScaledValueB, c.value);
        const QByteArray payload = motor.encode(hardware12, VersionNumber(2, 0));
        EXPECT_EQ(payload.left(2).toHex(' '), c.bytes.toHex(' ')) << c.value.toString().toStdString();
        EXPECT_EQ(payload.mid(8, 2).toHex(' '), c.bytes.toHex(' ')) << c.value.toString().toStdString();
    }
}

TEST(MotorConfiguration, EveryScaledValueReadFromTheUnitGoesBackUnchanged)
{
    // 1001 reads as 1.001, and 1.001 * 1000.0 is 1000.9999...: truncation alone sent 1000.
    for (quint32 raw = 0; raw <= 0xFFFF; ++raw) {
        QByteArray reply = QByteArray::fromHex("0000e8030000000000" "00");
        reply[0] = char(raw & 0xFF);
        reply[1] = char(raw >> 8);
        reply[8] = reply[0];
        reply[9] = reply[1];
        const Motor motor(reply, hardware12, VersionNumber(2, 0));
        ASSERT_EQ(motor.encode(hardware12, VersionNumber(2, 0)).toHex(' ').toStdString(),
                  reply.toHex(' ').toStdString())
            << raw;
    }
}

TEST(MotorConfiguration, LayoutFollowsFirmwareAndHardware)
{
    const struct {
        VersionNumber hardware;
        VersionNumber device;
        int length;
    } cases[] = {
        {hardware12, VersionNumber(2, 0), 10}, {hardware12, VersionNumber(2, 1), 11},
        {hardware12, VersionNumber(3, 0), 11}, {hardware11, VersionNumber(1, 9), 10},
        {hardware101, VersionNumber(0, 0), 11}, {hardware271, VersionNumber(1, 0), 11},
    };
    for (const auto &c : cases) {
        Motor motor(QByteArray(c.length, 0), c.hardware, c.device);
        EXPECT_EQ(motor.encode(c.hardware, c.device).size(), c.length)
            << c.hardware.major << "." << c.hardware.minor << " firmware " << c.device.major << "." << c.device.minor;
    }
}

TEST(MotorConfiguration, WrongReplyLengthIsAPrecondition)
{
    EXPECT_DEATH(Motor(QByteArray(11, 0), hardware12, VersionNumber(2, 0)), "data.count\\(\\) == 10");
    EXPECT_DEATH(Motor(QByteArray(10, 0), hardware12, VersionNumber(2, 1)), "data.count\\(\\) == 11");
}

class AdjustmentListener : public PropertiesListener
{
public:
    void propertyChanged(qint32, const QVariant &) override {}
    void propertyAdjusted(qint32 key, const QString &text) override { adjustments << QString("%1:%2").arg(key).arg(text); }
    void propertiesDestroyed(const void *) override {}
    QStringList adjustments;
};

TEST(MotorConfiguration, ValidationClampsTheCurrentToTheHardwareRange)
{
    const struct {
        VersionNumber hardware;
        QVariant current;
        QStringList messages;
        qint32 repaired;
    } cases[] = {
        {hardware12, 10, {"The minimum current is 50 mA."}, 50},
        {hardware12, 50, {}, 50},
        {hardware12, 9000, {"The maximum current is 8000 mA."}, 8000},
        {hardware11, 8000, {}, 8000},
        {hardware271, 1000, {}, 1000},
        {hardware271, 2001, {"The maximum current is 2000 mA."}, 2000},
        {hardware101, 1000, {"The maximum current is 500 mA."}, 500},
        {VersionNumber(3, 3), 501, {"The maximum current is 500 mA."}, 500},
        {hardware12, QString("1 000"), {}, 1000},
        {hardware12, QVariant(), {"The minimum current is 50 mA."}, 50},
    };
    for (const auto &c : cases) {
        AdjustmentListener listener;
        Motor motor;
        motor.setValue(Motor::Current, c.current);
        motor.addListener(&listener);
        const QVector<ValidationMessage> messages = motor.validate(c.hardware);
        QStringList texts, expectedAdjustments;
        for (const ValidationMessage &message : messages) {
            texts << message.text;
            EXPECT_EQ(message.severity, 1);
            expectedAdjustments << QString("1:%1").arg(message.text);
        }
        EXPECT_EQ(texts, c.messages) << c.current.toString().toStdString();
        EXPECT_EQ(motor.intValue(Motor::Current), c.repaired) << c.current.toString().toStdString();
        EXPECT_EQ(listener.adjustments, expectedAdjustments);
        motor.removeListener(&listener);
    }
}

class LoadListener : public RecordListener
{
public:
    void recordLoaded(const void *record) override { loaded.append(reinterpret_cast<quintptr>(record)); }
    void recordDestroyed(const void *record) override { destroyed.append(reinterpret_cast<quintptr>(record)); }
    QVector<quintptr> loaded;
    QVector<quintptr> destroyed;
};

TEST(MotorConfiguration, StreamRoundTripFillsTheExtendedFlag)
{
    Motor original;
    original.setValue(Motor::Current, 700);
    original.setValue(Motor::ScaledValueA, 1.25);
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        original.write(stream);
    }
    LoadListener listener;
    quintptr address = 0;
    {
        Motor restored;
        address = reinterpret_cast<quintptr>(&restored);
        restored.addRecordListener(&listener);
        QDataStream stream(bytes);
        restored.read(stream);
        EXPECT_EQ(restored.value(Motor::Current), QVariant(700));
        EXPECT_EQ(restored.value(Motor::ScaledValueA), QVariant(1.25));
        EXPECT_EQ(restored.value(Motor::ExtendedFlag), QVariant(false));
    }
    EXPECT_EQ(listener.loaded, QVector<quintptr>{address});
    EXPECT_EQ(listener.destroyed, QVector<quintptr>{address});
}

TEST(MotorConfiguration, NewerStreamVersionThrows)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << qint32(2) << qint32(1) << QMap<qint32, QVariant>{{Motor::Current, 1}};
    }
    Motor motor;
    QDataStream stream(bytes);
    try {
        motor.read(stream);
        FAIL() << "no exception";
    } catch (const StreamableVersionException &exception) {
        EXPECT_EQ(exception.version, 2);
        EXPECT_EQ(exception.file, QString("src\\VelmorDriverMotorConfiguration"));
    }
    EXPECT_FALSE(motor.contains(Motor::Current));
}

} // namespace
