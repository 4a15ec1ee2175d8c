#include "VelmorDriverInputConfiguration.h"

#include <gtest/gtest.h>

namespace {

using Input = VelmorDriverInputConfiguration;

TEST(InputConfiguration, DefaultPayloadsByHardwareAndFirmware)
{
    const struct {
        VersionNumber hardware;
        VersionNumber device;
        QByteArray payload;
    } cases[] = {
        {{1, 2}, {2, 0}, QByteArray::fromHex("ffffffff" "00000000000000000000" "04" "00" "0000")},
        {{1, 2}, {3, 0}, QByteArray::fromHex("ffffffff" "00000000000000000000" "04" "00" "0000" "05")},
        {{1, 1}, {9, 0}, QByteArray::fromHex("ffffffff" "00000000000000000000" "04" "00" "0000")},
        {{10, 1}, {1, 0}, QByteArray::fromHex("ffffffff" "00000000000000000000" "04" "00" "0000" "05")},
        {{27, 1}, {1, 0},
         QByteArray::fromHex("ffffffffffffffff" "00000000000000000000" "04" "00" "0000" "05" "00" "00")},
    };
    for (const auto &c : cases) {
        const QByteArray payload = Input().encode(c.hardware, c.device);
        EXPECT_EQ(payload.toHex(' '), c.payload.toHex(' '))
            << c.hardware.major << "." << c.hardware.minor << " firmware " << c.device.major << "." << c.device.minor;
    }
    EXPECT_EQ(Input().encode({1, 2}, {2, 0}).size(), 18);
    EXPECT_EQ(Input().encode({1, 2}, {3, 0}).size(), 19);
    EXPECT_EQ(Input().encode({27, 1}, {1, 0}).size(), 25);
}

TEST(InputConfiguration, EveryFieldHasItsPlace)
{
    Input input;
    input.setChannelFunctions({{2, Input::FirstLimitSwitch}, {3, Input::SecondLimitSwitch}, {8, 7}});
    const qint32 keysInWireOrder[] = {Input::InputSetting4, Input::InputSetting5, Input::Limit1Polarity,
                                      Input::Limit1Action,  Input::Limit2Polarity, Input::Limit2Action,
                                      Input::InputSetting7, Input::InputSetting8, Input::InputSetting9,
                                      Input::InputSetting12};
    qint32 next = 0x11;
    for (qint32 key : keysInWireOrder)
        input.setValue(key, next++);
    input.setAuxiliaryValue(0x1AB); // one byte: AB
    input.setValue(Input::InputWord6, 0xBEEF);
    input.setValue(Input::InputSetting13, 0x21);
    input.setValue(Input::InputSetting14, 0x22);
    input.setValue(Input::InputSetting15, 0x23);

    EXPECT_EQ(input.encode({27, 1}, {1, 0}).toHex(' '),
              "ff 20 21 ff ff ff ff 07 11 12 13 14 15 16 17 18 19 1a 04 ab ef be 21 22 23");
    EXPECT_EQ(input.encode({1, 2}, {2, 0}).toHex(' '), "ff 20 21 ff 11 12 13 14 15 16 17 18 19 1a 04 ab ef be");
}

TEST(InputConfiguration, ChannelFunctionDefaultsTo255)
{
    Input input;
    input.setChannelFunctions({{1, 32}, {2, 33}});
    EXPECT_EQ(input.channelFunction(1), 32);
    EXPECT_EQ(input.channelFunction(2), 33);
    EXPECT_EQ(input.channelFunction(5), 255);
    EXPECT_DEATH(input.channelFunction(0), "channelNumber > 0");
}

class LoadListener : public RecordListener
{
public:
    void recordLoaded(const void *) override { ++loaded; }
    void recordDestroyed(const void *) override {}
    int loaded = 0;
};

TEST(InputConfiguration, SetChannelFunctionsTellsTheRecordListeners)
{
    LoadListener listener;
    Input input;
    input.addRecordListener(&listener);
    input.setChannelFunctions({{1, 32}});
    EXPECT_EQ(listener.loaded, 1);
    input.removeRecordListener(&listener);
}

TEST(InputConfiguration, Version2StreamRoundTrip)
{
    Input original;
    original.setChannelFunctions({{1, 32}, {6, 33}});
    original.setAuxiliaryValue(9);
    original.setValue(Input::InputWord6, 300);
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        original.write(stream);
    }
    QDataStream versionStream(bytes);
    qint32 version = 0;
    versionStream >> version;
    EXPECT_EQ(version, 2);

    LoadListener listener;
    Input restored;
    restored.addRecordListener(&listener);
    QDataStream stream(bytes);
    restored.read(stream);
    EXPECT_EQ(restored.channelFunctions(), original.channelFunctions());
    EXPECT_EQ(restored.auxiliaryValue(), 9);
    EXPECT_EQ(restored.encode({27, 1}, {1, 0}), original.encode({27, 1}, {1, 0}));
    EXPECT_EQ(listener.loaded, 1);
    restored.removeRecordListener(&listener);
}

TEST(InputConfiguration, Version1StreamHoldsFourChannelsAndLacksKeys12And13)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << qint32(1) << qint32(1) << QMap<qint32, QVariant>{{Input::Limit1Polarity, 1}};
        stream << qint32(32) << qint32(255) << qint32(33) << qint32(4) << qint32(7);
    }
    Input input;
    input.setChannelFunctions({{6, 1}});
    QDataStream stream(bytes);
    input.read(stream);
    const QMap<qint32, qint32> expected{{1, 32}, {2, 255}, {3, 33}, {4, 4}};
    EXPECT_EQ(input.channelFunctions(), expected);
    EXPECT_EQ(input.auxiliaryValue(), 7);
    EXPECT_EQ(input.value(Input::Limit1Polarity), QVariant(1));
    EXPECT_EQ(input.value(Input::InputSetting12), QVariant(0));
    EXPECT_EQ(input.value(Input::InputSetting13), QVariant(5));
    EXPECT_FALSE(input.contains(Input::InputSetting4)); // the stream replaced the defaults
}

TEST(InputConfiguration, UnknownStreamVersionThrows)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << qint32(3);
    }
    Input input;
    QDataStream stream(bytes);
    try {
        input.read(stream);
        FAIL() << "no exception";
    } catch (const StreamableVersionException &exception) {
        EXPECT_EQ(exception.version, 3);
        EXPECT_EQ(exception.file, QString("src\\VelmorDriverInputConfiguration"));
    }
    EXPECT_EQ(input.value(Input::InputSetting13), QVariant(5));
}

} // namespace
