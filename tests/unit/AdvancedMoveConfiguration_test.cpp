#include "VelmorDriverAdvancedMotorMoveConfiguration.h"

#include <gtest/gtest.h>

namespace {

using Advanced = VelmorDriverAdvancedMotorMoveConfiguration;

TEST(AdvancedMoveConfiguration, DecodesAndEncodesTheWorkedReply)
{
    const QByteArray reply = QByteArray::fromHex("0100c8000201" "00e8031027");
    Advanced advanced(reply);
    EXPECT_EQ(advanced.value(Advanced::BacklashEnabled), QVariant(true));
    EXPECT_EQ(advanced.value(Advanced::BacklashDirection), QVariant(0));
    EXPECT_EQ(advanced.value(Advanced::BacklashSteps), QVariant(200));
    EXPECT_EQ(advanced.value(Advanced::HomeMode), QVariant(2));
    EXPECT_EQ(advanced.value(Advanced::HomeFlagA), QVariant(true));
    EXPECT_EQ(advanced.value(Advanced::HomeFlagB), QVariant(false));
    EXPECT_EQ(advanced.value(Advanced::HomeValueA), QVariant(1000));
    EXPECT_EQ(advanced.value(Advanced::HomeValueB), QVariant(10000));
    EXPECT_EQ(advanced.encode().toHex(' '), reply.toHex(' '));
}

TEST(AdvancedMoveConfiguration, FlagsAreNonZeroOnReadAndOneOnWrite)
{
    Advanced advanced(QByteArray::fromHex("0501ffff0380ff" "ffffffff"));
    EXPECT_EQ(advanced.value(Advanced::BacklashEnabled), QVariant(true));
    EXPECT_EQ(advanced.value(Advanced::BacklashSteps), QVariant(65535));
    EXPECT_EQ(advanced.encode().toHex(' '), "01 01 ff ff 03 01 01 ff ff ff ff");
}

TEST(AdvancedMoveConfiguration, KeysSetByTheCallsAreSentInTheirWidths)
{
    Advanced advanced;
    advanced.setValue(Advanced::BacklashEnabled, false);
    advanced.setValue(Advanced::BacklashDirection, 1);
    advanced.setValue(Advanced::BacklashSteps, 70000); // the low 16 bits: 4464
    advanced.setValue(Advanced::HomeMode, 1);
    advanced.setValue(Advanced::HomeFlagA, false);
    advanced.setValue(Advanced::HomeFlagB, true);
    advanced.setValue(Advanced::HomeValueA, QString("1 000"));
    advanced.setValue(Advanced::HomeValueB, 2.9);
    EXPECT_EQ(advanced.encode().toHex(' '), "00 01 70 11 01 00 01 e8 03 02 00");
}

TEST(AdvancedMoveConfiguration, WrongReplyLengthIsAPrecondition)
{
    EXPECT_DEATH(Advanced(QByteArray(10, 0)), "data.count\\(\\) == 11");
}

class LoadListener : public RecordListener
{
public:
    void recordLoaded(const void *) override { ++loaded; }
    void recordDestroyed(const void *) override {}
    int loaded = 0;
};

TEST(AdvancedMoveConfiguration, StreamRoundTripAndNewerVersion)
{
    Advanced original(QByteArray::fromHex("0100c8000201" "00e8031027"));
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        original.write(stream);
    }
    LoadListener listener;
    Advanced restored;
    restored.addRecordListener(&listener);
    {
        QDataStream stream(bytes);
        restored.read(stream);
    }
    EXPECT_EQ(restored.encode(), original.encode());
    EXPECT_EQ(listener.loaded, 1);

    QDataStream newer(QByteArray::fromHex("00000002"));
    try {
        restored.read(newer);
        FAIL() << "no exception";
    } catch (const StreamableVersionException &exception) {
        EXPECT_EQ(exception.version, 2);
        EXPECT_EQ(exception.file, QString("src\\VelmorDriverAdvancedMotorMoveConfiguration"));
    }
    EXPECT_EQ(listener.loaded, 1);
    EXPECT_EQ(restored.encode(), original.encode());
    restored.removeRecordListener(&listener);
}

} // namespace
