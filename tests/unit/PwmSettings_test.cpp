#include "VelmorDriverPWMSettings.h"

#include <gtest/gtest.h>

namespace {

using Pwm = VelmorDriverPWMSettings;

TEST(PwmSettings, DefaultsInKeyOrder)
{
    Pwm pwm;
    const QMap<qint32, QVariant> expected{{Pwm::PwmValue, 0},    {Pwm::PwmLimit, 100},   {Pwm::PwmStepMode, 0},
                                          {Pwm::SecondValue, 0}, {Pwm::SecondLimit, 100}, {Pwm::PwmSetting5, 0}};
    for (auto it = expected.constBegin(); it != expected.constEnd(); ++it)
        EXPECT_EQ(pwm.value(it.key()), it.value()) << it.key();
}

class ChangeCounter : public PropertiesListener
{
public:
    void propertyChanged(qint32 key, const QVariant &value) override { changes << qMakePair(key, value.toInt()); }
    void propertyAdjusted(qint32, const QString &) override {}
    void propertiesDestroyed(const void *) override {}
    QVector<QPair<qint32, qint32>> changes;
};

TEST(PwmSettings, ValuesStayWithinTheirLimits)
{
    const struct {
        const char *name;
        QVector<QPair<qint32, qint32>> changes; // key, value, in order
        qint32 pwmValue, secondValue;
    } cases[] = {
        {"ValueAboveDefaultLimit", {{Pwm::PwmValue, 150}}, 100, 0},
        {"LimitLoweredBelowValue", {{Pwm::PwmValue, 50}, {Pwm::PwmLimit, 30}}, 30, 0},
        {"ValueAtLimitStays", {{Pwm::PwmValue, 100}}, 100, 0},
        {"SecondValueAboveLimit", {{Pwm::SecondLimit, 20}, {Pwm::SecondValue, 25}}, 0, 20},
        {"AnyKeyTriggersTheCheck", {{Pwm::SecondValue, 40}, {Pwm::PwmSetting5, 1}}, 0, 40},
    };
    for (const auto &c : cases) {
        Pwm pwm;
        for (const auto &change : c.changes)
            pwm.setValue(change.first, change.second);
        EXPECT_EQ(pwm.intValue(Pwm::PwmValue), c.pwmValue) << c.name;
        EXPECT_EQ(pwm.intValue(Pwm::SecondValue), c.secondValue) << c.name;
    }
}

TEST(PwmSettings, ListenersSeeTheRequestedValueThenTheClampedOne)
{
    ChangeCounter listener;
    Pwm pwm;
    pwm.addListener(&listener);
    pwm.setValue(Pwm::PwmValue, 150);
    const QVector<QPair<qint32, qint32>> expected{{Pwm::PwmValue, 150}, {Pwm::PwmValue, 100}};
    EXPECT_EQ(listener.changes, expected);
    pwm.removeListener(&listener);
}

TEST(PwmSettings, PayloadDependsOnHardwareAndFirmware)
{
    const struct {
        VersionNumber hardware;
        VersionNumber device;
        qint32 pwmValue, stepMode, secondValue;
        QByteArray payload;
    } cases[] = {
        {{1, 2}, {4, 0}, 0, 1, 0, QByteArray::fromHex("0001")}, // setPWMStepMode
        {{1, 2}, {3, 9}, 0, 1, 0, QByteArray::fromHex("00")},
        {{27, 1}, {4, 0}, 0, 1, 0, QByteArray::fromHex("0000")},
        {{27, 1}, {1, 0}, 60, 0, 7, QByteArray::fromHex("3c07")},
        {{1, 1}, {9, 0}, 60, 1, 7, QByteArray::fromHex("3c")},
        {{10, 1}, {9, 0}, 99, 1, 7, QByteArray::fromHex("63")},
    };
    for (const auto &c : cases) {
        Pwm pwm;
        pwm.setValue(Pwm::PwmValue, c.pwmValue);
        pwm.setValue(Pwm::PwmStepMode, c.stepMode);
        pwm.setValue(Pwm::SecondValue, c.secondValue);
        EXPECT_EQ(pwm.encode(c.hardware, c.device).toHex(' '), c.payload.toHex(' '))
            << c.hardware.major << "." << c.hardware.minor << " firmware " << c.device.major << "." << c.device.minor;
    }
}

TEST(PwmSettings, StreamRoundTripAndMissingKeysTakeDefaults)
{
    Pwm original;
    original.setValue(Pwm::PwmLimit, 80);
    original.setValue(Pwm::PwmValue, 70);
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        original.write(stream);
    }
    Pwm restored;
    {
        QDataStream stream(bytes);
        restored.read(stream);
    }
    EXPECT_EQ(restored.value(Pwm::PwmLimit), QVariant(80));
    EXPECT_EQ(restored.value(Pwm::PwmValue), QVariant(70));

    QByteArray sparse;
    {
        QDataStream stream(&sparse, QIODevice::WriteOnly);
        stream << qint32(1) << qint32(1) << QMap<qint32, QVariant>{{Pwm::PwmValue, 20}};
    }
    Pwm filled;
    QDataStream stream(sparse);
    filled.read(stream);
    EXPECT_EQ(filled.value(Pwm::PwmLimit), QVariant(100));
    EXPECT_EQ(filled.value(Pwm::SecondLimit), QVariant(100));
    EXPECT_EQ(filled.value(Pwm::PwmStepMode), QVariant(0));
    EXPECT_EQ(filled.value(Pwm::SecondValue), QVariant(0));
    EXPECT_EQ(filled.value(Pwm::PwmSetting5), QVariant(0));
}

TEST(PwmSettings, NewerStreamVersionThrows)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << qint32(2);
    }
    Pwm pwm;
    QDataStream stream(bytes);
    try {
        pwm.read(stream);
        FAIL() << "no exception";
    } catch (const StreamableVersionException &exception) {
        EXPECT_EQ(exception.version, 2);
        EXPECT_EQ(exception.file, QString("src\\VelmorDriverPWMSettings"));
    }
}

} // namespace
