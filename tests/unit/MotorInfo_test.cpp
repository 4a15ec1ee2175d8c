#include "VelmorDriverMotorInfo.h"

#include <gtest/gtest.h>

namespace {

QByteArray reply(const char *positionHex, quint8 stepMode, quint8 ready)
{
    QByteArray bytes = QByteArray::fromHex("11223344");
    bytes += QByteArray::fromHex(positionHex);
    bytes += char(stepMode);
    bytes += QByteArray::fromHex("09 0a");
    bytes += char(ready);
    bytes += QByteArray::fromHex("0c 0d");
    return bytes;
}

TEST(MotorInfo, DecodesEveryField)
{
    VelmorDriverMotorInfo info(reply("ffffffff", 3, 1));
    EXPECT_EQ(info.firstWord(), 0x44332211u);
    EXPECT_EQ(info.position(), -1);
    EXPECT_EQ(info.stepMode(), 3u);
    EXPECT_EQ(info.flag9(), 9u);
    EXPECT_EQ(info.flag10(), 10u);
    EXPECT_EQ(info.ready(), 1u);
    EXPECT_EQ(info.flag12(), 12u);
    EXPECT_EQ(info.flag13(), 13u);
}

TEST(MotorInfo, PositionInStepsFollowsStepModeAndHardware)
{
    const struct {
        VersionNumber hardware;
        quint8 stepMode;
        const char *position;
        double steps;
    } cases[] = {
        {{1, 2}, 0, "ffffffff", -0.0625},
        {{1, 2}, 4, "e8030000", 1000.0},
        {{1, 1}, 3, "e8030000", 500.0},
        {{1, 2}, 5, "e8030000", 0.0},
        {{1, 2}, 7, "e8030000", 0.0},
        {{27, 1}, 7, "e8030000", 1000.0},
        {{27, 1}, 0, "00010000", 2.0},
        {{27, 1}, 8, "e8030000", 0.0},
        {{10, 1}, 1, "00000080", -268435456.0}, // -2^31 / 8
        {{1, 2}, 255, "e8030000", 0.0},
    };
    for (const auto &c : cases) {
        VelmorDriverMotorInfo info(reply(c.position, c.stepMode, 1));
        EXPECT_EQ(info.positionInSteps(c.hardware), c.steps)
            << c.hardware.major << "." << c.hardware.minor << " step mode " << int(c.stepMode);
    }
}

TEST(MotorInfo, OnlyReadyByteOneIsReady)
{
    const struct {
        quint8 ready;
        bool isReady;
    } cases[] = {{0, false}, {1, true}, {2, false}, {255, false}};
    for (const auto &c : cases)
        EXPECT_EQ(VelmorDriverMotorInfo(reply("00000000", 0, c.ready)).isReady(), c.isReady) << int(c.ready);
}

TEST(MotorInfo, WrongReplyLengthIsAPrecondition)
{
    EXPECT_DEATH(VelmorDriverMotorInfo(QByteArray(13, 0)), "data.count\\(\\) == 14");
}

class DestroyListener : public RecordListener
{
public:
    void recordLoaded(const void *) override {}
    void recordDestroyed(const void *record) override { destroyed.append(reinterpret_cast<quintptr>(record)); }
    QVector<quintptr> destroyed;
};

TEST(MotorInfo, DestructionTellsItsOwnListenersOnly)
{
    DestroyListener listener;
    quintptr address = 0;
    {
        VelmorDriverMotorInfo info(reply("00000000", 0, 1));
        info.addRecordListener(&listener);
        address = reinterpret_cast<quintptr>(&info);
        VelmorDriverMotorInfo copy(info);
        EXPECT_EQ(copy.position(), 0);
    }
    EXPECT_EQ(listener.destroyed, QVector<quintptr>{address});
}

} // namespace
