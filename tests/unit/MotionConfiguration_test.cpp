#include "VelmorDriverMotionConfiguration.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <limits>
#include <utility>

namespace {

using Motion = VelmorDriverMotionConfiguration;

const VersionNumber hardware11(1, 1);
const VersionNumber hardware12(1, 2);
const VersionNumber hardware101(10, 1);
const VersionNumber hardware271(27, 1);

class AdjustmentListener : public PropertiesListener
{
public:
    void propertyChanged(qint32, const QVariant &) override {}
    void propertyAdjusted(qint32 key, const QString &text) override { adjustments.append({key, text}); }
    void propertiesDestroyed(const void *) override {}
    QVector<std::pair<qint32, QString>> adjustments;
};

class LoadListener : public RecordListener
{
public:
    void recordLoaded(const void *record) override { loaded.append(reinterpret_cast<quintptr>(record)); }
    void recordDestroyed(const void *record) override { destroyed.append(reinterpret_cast<quintptr>(record)); }
    QVector<quintptr> loaded;
    QVector<quintptr> destroyed;
};

struct LayoutCase
{
    const char *name;
    VersionNumber hardware;
    QByteArray reply;
    qint32 stepMode, speed;
    quint32 acceleration;
    qint32 accelerationMode, alternateSpeed;
    bool alternateSpeedEnabled;
};

class MotionLayout : public testing::TestWithParam<LayoutCase>
{
};

TEST_P(MotionLayout, DecodesAndEncodesTheSameBytes)
{
    const LayoutCase &c = GetParam();
    Motion motion(c.reply, c.hardware);
    EXPECT_EQ(motion.value(Motion::StepMode), QVariant(c.stepMode));
    EXPECT_EQ(motion.value(Motion::Speed), QVariant(c.speed));
    EXPECT_EQ(motion.value(Motion::Acceleration), QVariant(c.acceleration));
    EXPECT_EQ(motion.value(Motion::AccelerationMode), QVariant(c.accelerationMode));
    EXPECT_EQ(motion.intValue(Motion::AlternateSpeed), c.alternateSpeed);
    EXPECT_EQ(motion.boolValue(Motion::AlternateSpeedEnabled), c.alternateSpeedEnabled);
    EXPECT_FALSE(motion.contains(Motion::LocalFlag));
    EXPECT_EQ(motion.encode(c.hardware).toHex(' '), c.reply.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, MotionLayout,
    testing::Values(
        LayoutCase{"Short11", hardware11, QByteArray::fromHex("03e803102700000" "1"), 3, 1000, 10000, 1, 1000, false},
        LayoutCase{"ShortSpeedFFFFIsUnsigned", hardware11, QByteArray::fromHex("00ffffffffffff00"), 0, 65535,
                   4294967295u, 0, 65535, false},
        LayoutCase{"ShortUnknownHardware", VersionNumber(2, 0), QByteArray::fromHex("0164000a00000000"), 1, 100, 10, 0,
                   100, false},
        LayoutCase{"Long12", hardware12, QByteArray::fromHex("02d007f401a086010001" "01"), 2, 2000, 100000, 1, 500,
                   true},
        LayoutCase{"Long101", hardware101, QByteArray::fromHex("04ffff0100e803000002" "00"), 4, 65535, 1000, 2, 1,
                   false},
        LayoutCase{"Long271", hardware271, QByteArray::fromHex("07a0860000ffffffffff" "00"), 7, 34464, 4294967295u, 255,
                   0, false}),
    [](const testing::TestParamInfo<LayoutCase> &info) { return std::string(info.param.name); });

TEST(MotionConfiguration, ShortLayoutLeavesOutAlternateSpeed)
{
    Motion motion(QByteArray::fromHex("02d007f401a086010001" "01"), hardware12);
    EXPECT_EQ(motion.encode(hardware11), QByteArray::fromHex("02d007a086010001"));
}

struct ValidationCase
{
    const char *name;
    VersionNumber hardware;
    qint32 stepMode, speed, accelerationMode, acceleration;
    bool alternateSpeedEnabled;
    qint32 alternateSpeed;
    QStringList messages;
    qint32 repairedSpeed, repairedAcceleration, repairedAlternateSpeed;
};

class MotionValidation : public testing::TestWithParam<ValidationCase>
{
};

TEST_P(MotionValidation, RepairsAndReports)
{
    const ValidationCase &c = GetParam();
    AdjustmentListener listener;
    Motion motion;
    motion.setValue(Motion::StepMode, c.stepMode);
    motion.setValue(Motion::Speed, c.speed);
    motion.setValue(Motion::AccelerationMode, c.accelerationMode);
    motion.setValue(Motion::Acceleration, c.acceleration);
    motion.setValue(Motion::AlternateSpeedEnabled, c.alternateSpeedEnabled);
    motion.setValue(Motion::AlternateSpeed, c.alternateSpeed);
    motion.addListener(&listener);

    const QVector<ValidationMessage> messages = motion.validate(c.hardware);

    QStringList texts;
    for (const ValidationMessage &message : messages) {
        texts << message.text;
        EXPECT_EQ(message.severity, 1);
    }
    EXPECT_EQ(texts, c.messages);
    EXPECT_EQ(motion.intValue(Motion::Speed), c.repairedSpeed);
    EXPECT_EQ(motion.intValue(Motion::Acceleration), c.repairedAcceleration);
    EXPECT_EQ(motion.intValue(Motion::AlternateSpeed), c.repairedAlternateSpeed);
    ASSERT_EQ(listener.adjustments.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(listener.adjustments[i].second, texts[i]);
    motion.removeListener(&listener);
}

const QString tooHigh = "The motor speed was too high.";
const QString tooLow = "The motor speed was too low.";
const QString rampTooLong = "The ramp-ump time of %1 s was more than 10 s. The acceleration was increased.";
const QString rampTooShort = "The ramp-up time of %1 ms was less than 1 ms.\nConsider using step acceleration.";
const QString absoluteMaximum = "The absolute maximum acceleration is 1000000 steps/s^2.";

INSTANTIATE_TEST_SUITE_P(
    Cases, MotionValidation,
    testing::Values(
        ValidationCase{"StepRateAboveMaximum", hardware12, 4, 2000, 0, 0, false, 0, {tooHigh}, 1250, 0, 0},
        ValidationCase{"MaximumIsInclusiveOn271", hardware271, 0, 100000, 0, 0, false, 0, {}, 100000, 0, 0},
        ValidationCase{"JustAboveMaximumOn271", hardware271, 0, 100001, 0, 0, false, 0, {tooHigh}, 100000, 0, 0},
        ValidationCase{"ZeroSpeed", hardware12, 0, 0, 0, 0, false, 0, {tooLow}, 1, 0, 0},
        ValidationCase{"RampLongerThan10s", hardware12, 0, 1000, 1, 500, false, 0, {rampTooLong.arg("20")}, 1000, 1000,
                       0},
        ValidationCase{"RampShorterThan1ms", hardware12, 0, 1000, 1, 20000000, false, 0, {rampTooShort.arg("0.5")},
                       1000, 10000000, 0},
        ValidationCase{"RampBoundThenAbsoluteMaximum", hardware12, 0, 20000, 1, 300000000, false, 0,
                       {rampTooShort.arg("0.666667"), absoluteMaximum}, 20000, 10000000, 0},
        ValidationCase{"ZeroAccelerationRamped", hardware12, 0, 1000, 1, 0, false, 0,
                       {"Zero acceleration is not allowed."}, 1000, 1000, 0},
        ValidationCase{"ZeroAccelerationUnramped", hardware12, 0, 1000, 0, 0, false, 0, {}, 1000, 0, 0},
        ValidationCase{"AlternateSpeedIgnoredOn11", hardware11, 0, 1000, 0, 0, true, 0, {}, 1000, 0, 0},
        ValidationCase{"AlternateSpeedExaminedOn12", hardware12, 0, 1000, 0, 0, true, 0, {tooLow}, 1000, 0, 1},
        ValidationCase{"AlternateSpeedOnlyWhenEnabled", hardware12, 0, 1000, 0, 0, false, 0, {}, 1000, 0, 0},
        // 32-bit step rates wrap around: 65535 * 2^31 is -2^31, 65535 * 2^16 is -65536.
        ValidationCase{"StepRateWrapsToNegative", hardware12, 31, 65535, 0, 0, false, 0, {tooLow}, 1, 0, 0},
        ValidationCase{"StepRateWrapsAt16", hardware12, 16, 65535, 0, 0, false, 0, {tooLow}, 1, 0, 0},
        ValidationCase{"StepRateWrapsIntoRange", hardware12, 2, (1 << 30) + 5, 0, 0, false, 0, {}, (1 << 30) + 5, 0, 0},
        ValidationCase{"StepModeUsesLowFiveBits", hardware12, 36, 2000, 0, 0, false, 0, {tooHigh}, 1250, 0, 0},
        // The 1 ms bound of a huge speed is beyond 32 bits; the acceleration stays as it is.
        ValidationCase{"HugeSpeedRampBound", hardware12, 2, (1 << 30) + 5, 1, 1073741829, false, 0,
                       {absoluteMaximum}, (1 << 30) + 5, 10000000, 0}),
    [](const testing::TestParamInfo<ValidationCase> &info) { return std::string(info.param.name); });

TEST(MotionConfiguration, StepRateIsComputedIn32BitTwosComplement)
{
    EXPECT_EQ(Motion::stepRate(2000, 4), 32000);
    EXPECT_EQ(Motion::stepRate(65535, 31), std::numeric_limits<qint32>::min());
    EXPECT_EQ(Motion::stepRate(std::numeric_limits<qint32>::max(), 1), -2);
    EXPECT_EQ(Motion::stepRate(-3, 2), -12);
    EXPECT_EQ(Motion::stepRate(5, -1), std::numeric_limits<qint32>::min()); // -1 & 31 is 31
}

QByteArray streamOf(const Motion &motion)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    motion.write(stream);
    return bytes;
}

QByteArray olderStream(qint32 version, const QMap<qint32, QVariant> &values)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << version << qint32(1) << values;
    return bytes;
}

TEST(MotionConfiguration, StreamRoundTripAndRecordLoaded)
{
    Motion original(QByteArray::fromHex("02d007f401a086010001" "01"), hardware12);
    original.setValue(Motion::LocalFlag, true);
    QByteArray bytes = streamOf(original);
    QDataStream versionStream(bytes);
    qint32 version = 0;
    versionStream >> version;
    EXPECT_EQ(version, 3);

    LoadListener listener;
    Motion restored;
    restored.addRecordListener(&listener);
    QDataStream stream(bytes);
    restored.read(stream);
    for (qint32 key = Motion::StepMode; key <= Motion::LocalFlag; ++key)
        EXPECT_EQ(restored.value(key), original.value(key)) << key;
    ASSERT_EQ(listener.loaded.size(), 1);
    EXPECT_EQ(listener.loaded[0], reinterpret_cast<quintptr>(&restored));
    restored.removeRecordListener(&listener);
}

TEST(MotionConfiguration, Version1StreamFillsAlternateSpeedAndFlags)
{
    QDataStream stream(olderStream(1, {{Motion::Speed, 700}, {Motion::StepMode, 2}}));
    Motion motion;
    motion.read(stream);
    EXPECT_EQ(motion.value(Motion::AlternateSpeed), QVariant(700));
    EXPECT_EQ(motion.value(Motion::AlternateSpeedEnabled), QVariant(false));
    EXPECT_EQ(motion.value(Motion::LocalFlag), QVariant(false));
}

TEST(MotionConfiguration, Version2StreamFillsOnlyLocalFlag)
{
    QDataStream stream(olderStream(2, {{Motion::Speed, 700}, {Motion::AlternateSpeed, 300},
                                       {Motion::AlternateSpeedEnabled, 1}}));
    Motion motion;
    motion.read(stream);
    EXPECT_EQ(motion.value(Motion::AlternateSpeed), QVariant(300));
    EXPECT_EQ(motion.value(Motion::AlternateSpeedEnabled), QVariant(1));
    EXPECT_EQ(motion.value(Motion::LocalFlag), QVariant(false));
}

TEST(MotionConfiguration, UnknownStreamVersionsThrowAndKeepTheRecord)
{
    for (qint32 version : {4, 0}) {
        Motion motion;
        motion.setValue(Motion::Speed, 5);
        QDataStream stream(olderStream(version, {{Motion::Speed, 700}}));
        try {
            motion.read(stream);
            ADD_FAILURE() << "no exception for version " << version;
        } catch (const StreamableVersionException &exception) {
            EXPECT_EQ(exception.version, version);
            EXPECT_EQ(exception.file, QString("src\\VelmorDriverMotionConfiguration"));
        }
        EXPECT_EQ(motion.value(Motion::Speed), QVariant(5));
    }
}

TEST(MotionConfiguration, WrongReplyLengthIsAPrecondition)
{
    EXPECT_DEATH(Motion(QByteArray(8, 0), hardware12), "data.count\\(\\) == 11");
    EXPECT_DEATH(Motion(QByteArray(11, 0), hardware11), "data.count\\(\\) == 8");
}

TEST(MoveOrder, EncodesKindDirectionAndLittleEndianSteps)
{
    const struct {
        VersionNumber hardware;
        VelmorDriverMoveOrder order;
        QByteArray bytes;
    } cases[] = {
        {hardware11, {3, 0, 500}, QByteArray::fromHex("0000f4010000")},
        {hardware12, {3, 0, 500}, QByteArray::fromHex("0300f4010000")},
        {hardware271, {3, 1, 1}, QByteArray::fromHex("030101000000")},
        {hardware11, {1, 1, 0x12345678}, QByteArray::fromHex("010178563412")},
        {hardware11, {2, 0, 0xFFFFFFFFu}, QByteArray::fromHex("0200ffffffff")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.order.encode(c.hardware).toHex(' '), c.bytes.toHex(' '));
}

TEST(MoveOrder, RelativeTakesSizeAndSign)
{
    const struct {
        qint64 displacement;
        quint8 direction;
        quint32 steps;
    } cases[] = {
        {500, VelmorDriverMoveOrder::Increasing, 500},
        {-500, VelmorDriverMoveOrder::Decreasing, 500},
        {0, VelmorDriverMoveOrder::Increasing, 0},
        {qint64(std::numeric_limits<qint32>::min()), VelmorDriverMoveOrder::Decreasing, 2147483648u},
        {qint64(std::numeric_limits<qint32>::max()) - std::numeric_limits<qint32>::min(),
         VelmorDriverMoveOrder::Increasing, 4294967295u},
    };
    for (const auto &c : cases) {
        const VelmorDriverMoveOrder order = VelmorDriverMoveOrder::relative(c.displacement);
        EXPECT_EQ(order.kind, 1);
        EXPECT_EQ(order.direction, c.direction) << c.displacement;
        EXPECT_EQ(order.steps, c.steps) << c.displacement;
    }
}

} // namespace
