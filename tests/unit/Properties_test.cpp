#include "Properties.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QVector>

#include <cmath>
#include <limits>
#include <utility>

namespace {

struct TestTraits
{
};

// Records every hook call, so tests see when and why it ran.
class HookedProperties : public Properties<TestTraits>
{
public:
    void onValueChanged(qint32 key, qint32 reason) override { hookCalls.append({key, reason}); }
    QVector<std::pair<qint32, qint32>> hookCalls;
};

class RecordingListener : public PropertiesListener
{
public:
    void propertyChanged(qint32 key, const QVariant &value) override { changes.append({key, value}); }
    void propertyAdjusted(qint32 key, const QString &text) override { adjustments.append({key, text}); }
    void propertiesDestroyed(const void *properties) override { destroyed.append(reinterpret_cast<quintptr>(properties)); }

    QVector<std::pair<qint32, QVariant>> changes;
    QVector<std::pair<qint32, QString>> adjustments;
    QVector<quintptr> destroyed;
};

QByteArray writtenStream(const Properties<TestTraits> &properties)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    properties.write(stream);
    return bytes;
}

TEST(Properties, AbsentKeyReadsAsInvalidZeroAndFalse)
{
    Properties<TestTraits> properties;
    EXPECT_FALSE(properties.value(7).isValid());
    EXPECT_EQ(properties.intValue(7), 0);
    EXPECT_EQ(properties.doubleValue(7), 0.0);
    EXPECT_FALSE(properties.boolValue(7));
}

TEST(Properties, NumberConversionsFromVariants)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        QVariant variant;
        qint32 integer;
        double real;
    } cases[] = {
        {QString("1 000"), 1000, 1000.0},
        {QString(" 2 5 "), 25, 25.0},
        {QString("2.5"), 0, 2.5}, // not an integer text
        {QString("abc"), 0, 0.0},
        {2.9, 2, 2.9},
        {-2.9, -2, -2.9},
        {true, 1, 1.0},
        {QVariant::fromValue(quint32(4294967295u)), -1, 4294967295.0}, // low 32 bits, so FF FF FF FF survives
        {1e20, 1661992960, 1e20},
        {-1e20, -1661992960, -1e20},
        {nan, 0, nan},
        {infinity, 0, infinity},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.variant.toString().toStdString());
        EXPECT_EQ(Properties<TestTraits>::toInt32(c.variant), c.integer);
        const double real = Properties<TestTraits>::toDouble(c.variant);
        if (std::isnan(c.real))
            EXPECT_TRUE(std::isnan(real));
        else
            EXPECT_EQ(real, c.real);
    }
}

TEST(Properties, SetValueNotifiesListenersAndRunsHookEvenWhenUnchanged)
{
    RecordingListener listener;
    HookedProperties properties;
    properties.addListener(&listener);

    properties.setValue(3, 42);
    properties.setValue(3, 42);

    ASSERT_EQ(listener.changes.size(), 2);
    EXPECT_EQ(listener.changes[1].first, 3);
    EXPECT_EQ(listener.changes[1].second, QVariant(42));
    const QVector<std::pair<qint32, qint32>> expectedHooks{{3, 0}, {3, 0}};
    EXPECT_EQ(properties.hookCalls, expectedHooks);
}

TEST(Properties, AdjustedReachesEveryListener)
{
    RecordingListener first, second;
    Properties<TestTraits> properties;
    properties.addListener(&first);
    properties.addListener(&second);
    properties.adjusted(1, "fixed");
    ASSERT_EQ(first.adjustments.size(), 1);
    EXPECT_EQ(first.adjustments[0], std::make_pair(qint32(1), QString("fixed")));
    EXPECT_EQ(second.adjustments.size(), 1);
}

TEST(Properties, WriteThenReadRestoresValuesAndAnnouncesThemInKeyOrder)
{
    Properties<TestTraits> original;
    original.setValue(5, QString("five"));
    original.setValue(1, 1.5);
    original.setValue(3, true);

    RecordingListener listener;
    HookedProperties restored;
    restored.setValue(9, 99); // replaced by what the stream holds
    restored.hookCalls.clear();
    restored.addListener(&listener);
    QByteArray bytes = writtenStream(original);
    QDataStream stream(bytes);
    restored.read(stream);

    EXPECT_FALSE(restored.contains(9));
    EXPECT_EQ(restored.value(5), QVariant(QString("five")));
    EXPECT_EQ(restored.value(1), QVariant(1.5));
    EXPECT_EQ(restored.value(3), QVariant(true));
    ASSERT_EQ(listener.changes.size(), 3);
    EXPECT_EQ(listener.changes[0].first, 1);
    EXPECT_EQ(listener.changes[2].first, 5);
    const QVector<std::pair<qint32, qint32>> expectedHooks{{1, 2}, {3, 2}, {5, 2}};
    EXPECT_EQ(restored.hookCalls, expectedHooks);
}

TEST(Properties, StreamStartsWithVersionOneAndWritesKeysFromTheLargestDown)
{
    Properties<TestTraits> properties;
    properties.setValue(1, 10);
    properties.setValue(2, 20);
    QByteArray bytes = writtenStream(properties);
    QDataStream stream(bytes);
    qint32 version = 0;
    quint32 count = 0;
    qint32 firstKey = 0;
    stream >> version >> count >> firstKey;
    EXPECT_EQ(version, 1);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(firstKey, 2);
}

TEST(Properties, NewerStreamVersionThrowsAndKeepsValues)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << qint32(2) << QMap<qint32, QVariant>{{1, 5}};
    }
    Properties<TestTraits> properties;
    properties.setValue(1, 7);
    QDataStream stream(bytes);
    try {
        properties.read(stream);
        FAIL() << "no exception";
    } catch (const StreamableVersionException &exception) {
        EXPECT_EQ(exception.version, 2);
        EXPECT_EQ(exception.file, QString("..\\..\\utils\\core\\include\\Properties"));
        EXPECT_GT(exception.line, 0);
    }
    EXPECT_EQ(properties.value(1), QVariant(7));
}

TEST(Properties, TruncatedStreamLeavesValuesAsTheyWere)
{
    Properties<TestTraits> source;
    source.setValue(1, 5);
    source.setValue(2, 6);
    QByteArray bytes = writtenStream(source);
    bytes.chop(3);

    Properties<TestTraits> properties;
    properties.setValue(1, 7);
    QDataStream stream(bytes);
    properties.read(stream);
    EXPECT_NE(stream.status(), QDataStream::Ok);
    EXPECT_EQ(properties.value(1), QVariant(7));
    EXPECT_FALSE(properties.contains(2));
}

TEST(Properties, StreamWithAnImpossibleListCountLeavesValuesAsTheyWere)
{
    // Version 1, a map of one entry: key 3, a variant list (type 9, not null) claiming
    // 0x3B000000 elements, more than memory holds.
    const QByteArray bytes = QByteArray::fromHex("00000001" "00000001" "00000003" "00000009" "00" "3b000000");
    Properties<TestTraits> properties;
    properties.setValue(1, 7);
    QDataStream stream(bytes);
    EXPECT_NO_THROW(properties.read(stream));
    EXPECT_NE(stream.status(), QDataStream::Ok);
    EXPECT_EQ(properties.value(1), QVariant(7));
    EXPECT_FALSE(properties.contains(3));
}

TEST(Properties, StreamRepeatingAKeyKeepsTheEntryReadLast)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << qint32(1) << quint32(2) << qint32(4) << QVariant(1) << qint32(4) << QVariant(2);
    }
    Properties<TestTraits> properties;
    QDataStream stream(bytes);
    properties.read(stream);
    EXPECT_EQ(properties.value(4), QVariant(2));

    QDataStream reread(writtenStream(properties));
    qint32 version = 0;
    quint32 count = 0;
    reread >> version >> count;
    EXPECT_EQ(count, 1u);
}

// Removes another listener from inside a notification.
class RemovingListener : public RecordingListener
{
public:
    RemovingListener(Properties<TestTraits> &properties, PropertiesListener *victim)
        : m_properties(properties)
        , m_victim(victim)
    {
    }
    void propertyChanged(qint32 key, const QVariant &value) override
    {
        RecordingListener::propertyChanged(key, value);
        m_properties.removeListener(m_victim);
    }

private:
    Properties<TestTraits> &m_properties;
    PropertiesListener *m_victim;
};

TEST(Properties, ListenerRemovedDuringANotificationStillHearsThatOneOnly)
{
    RecordingListener victim;
    Properties<TestTraits> properties;
    RemovingListener remover(properties, &victim);
    properties.addListener(&victim);
    properties.addListener(&remover);

    properties.setValue(1, 1);
    properties.setValue(1, 2);

    EXPECT_EQ(victim.changes.size(), 1);
    EXPECT_EQ(remover.changes.size(), 2);
    properties.removeListener(&remover); // it goes before the record does
}

TEST(Properties, DestructionTellsListenersWhichRecordWent)
{
    RecordingListener listener;
    quintptr address = 0;
    {
        Properties<TestTraits> properties;
        properties.addListener(&listener);
        address = reinterpret_cast<quintptr>(&properties);
    }
    ASSERT_EQ(listener.destroyed.size(), 1);
    EXPECT_EQ(listener.destroyed[0], address);
}

TEST(Properties, CopyTakesValuesButNotListeners)
{
    RecordingListener listener;
    Properties<TestTraits> original;
    original.addListener(&listener);
    original.setValue(1, 3);
    {
        Properties<TestTraits> copy(original);
        EXPECT_EQ(copy.value(1), QVariant(3));
        copy.setValue(1, 4);
    }
    EXPECT_EQ(listener.changes.size(), 1);
    EXPECT_TRUE(listener.destroyed.isEmpty());
}

} // namespace
