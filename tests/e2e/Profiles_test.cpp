// Unit profiles: read from a unit, applied back with a report per setting, compared, loaded from
// a folder; travel limits that refuse a move beyond them with 21 and send nothing.
#include "Bench.h"
#include "VelmorLibExtras.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr int kMove = 0x22;

using TextCall = std::function<int32_t(char *, uint32_t, uint32_t *)>;

// Calls a function that gives text; the code and the text as a JSON object.
std::pair<int32_t, QJsonObject> textOf(const TextCall &call)
{
    std::string buffer(64 * 1024, '\0');
    uint32_t needed = 0;
    const int32_t code = call(&buffer[0], uint32_t(buffer.size()), &needed);
    EXPECT_LE(needed, buffer.size());
    return {code, QJsonDocument::fromJson(QByteArray(buffer.c_str())).object()};
}

QByteArray profileOf(int32_t index)
{
    std::string buffer(64 * 1024, '\0');
    EXPECT_EQ(velmorReadProfile(index, &buffer[0], uint32_t(buffer.size()), nullptr), VELMOR_OK);
    return QByteArray(buffer.c_str());
}

std::pair<int32_t, QJsonObject> apply(int32_t index, const QByteArray &profile, uint32_t flags = 0)
{
    return textOf([&](char *text, uint32_t capacity, uint32_t *needed) {
        return velmorApplyProfile(index, profile.constData(), flags, text, capacity, needed);
    });
}

QString outcomeOf(const QJsonObject &report, const QString &setting)
{
    for (const QJsonValue entry : report.value("settings").toArray()) {
        if (entry.toObject().value("setting").toString() == setting)
            return entry.toObject().value("outcome").toString();
    }
    return QString();
}

int32_t currentOf(int32_t index)
{
    VelmorMotorSettings motor{};
    motor.size = sizeof motor;
    EXPECT_EQ(velmorReadMotorSettings(index, &motor), VELMOR_OK);
    return motor.current;
}

size_t movesSent(size_t unit)
{
    const auto packets = VelmorEmulator::receivedPackets(unit);
    return size_t(std::count_if(packets.begin(), packets.end(), [](const auto &packet) { return packet.commandCode == kMove; }));
}

class Profiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        VelmorEmulator::useDefaultBench();
        ASSERT_EQ(initialise(), VELMOR_OK);
    }
    void TearDown() override { velmorLoadProfiles(m_empty.path().toUtf8().constData(), nullptr, 0, nullptr); }

    QTemporaryDir m_empty;
};

// Every hardware and firmware layout of the default bench: what is read applies back as it was.
TEST_F(Profiles, WhatIsReadAppliesBackAfterAChange)
{
    for (int32_t index = 1; index <= 4; ++index) {
        const QByteArray saved = profileOf(index);
        VelmorLimits limits{};
        limits.size = sizeof limits;
        ASSERT_EQ(velmorGetLimits(index, &limits), VELMOR_OK);
        ASSERT_EQ(setMotorCurrent(index, limits.minimumCurrent + 100, 0), VELMOR_OK) << index;

        const auto [code, report] = apply(index, saved);
        EXPECT_EQ(code, VELMOR_OK) << index << QJsonDocument(report).toJson().constData();
        EXPECT_EQ(outcomeOf(report, "current"), "applied") << index;
        EXPECT_EQ(outcomeOf(report, "speed"), "unchanged") << index;
        EXPECT_EQ(profileOf(index), saved) << index;
    }
}

TEST_F(Profiles, DiffNamesTheSettingThatChanged)
{
    const QByteArray saved = profileOf(2);
    ASSERT_EQ(setMotorCurrent(2, 1500, 0), VELMOR_OK);
    const auto [code, report] = textOf([&](char *text, uint32_t capacity, uint32_t *needed) {
        return velmorDiffProfile(2, saved.constData(), text, capacity, needed);
    });
    ASSERT_EQ(code, VELMOR_OK);
    const QJsonArray differences = report.value("settings").toArray();
    ASSERT_EQ(differences.size(), 1) << QJsonDocument(report).toJson().constData();
    EXPECT_EQ(differences[0].toObject().value("setting").toString(), "current.current");
    EXPECT_EQ(differences[0].toObject().value("unit").toInt(), 1500);
}

TEST_F(Profiles, AValueBeyondTheUnitIsRefusedOrFixedToTheNearest)
{
    const QByteArray tooMuch = R"({"velmorlibProfile": 1, "settings": {"current": 9000, "currentFlag": 0}})";
    const int32_t before = currentOf(2);

    const auto [refusedCode, refused] = apply(2, tooMuch);
    EXPECT_EQ(refusedCode, VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(outcomeOf(refused, "current"), "refused");
    EXPECT_NE(QJsonDocument(refused).toJson().indexOf("8000 mA"), -1);
    EXPECT_EQ(currentOf(2), before);

    const auto [fixedCode, fixed] = apply(2, tooMuch, VELMOR_PROFILE_FIX);
    EXPECT_EQ(fixedCode, VELMOR_OK);
    EXPECT_EQ(outcomeOf(fixed, "current"), "fixed");
    EXPECT_EQ(currentOf(2), 8000);
}

TEST_F(Profiles, AProfileThatCannotBeTakenIsAppliedInNoPart)
{
    const struct
    {
        const char *what;
        QByteArray profile;
        const char *words;
    } cases[] = {
        {"damaged", "{\n \"velmorlibProfile\": 1,\n \"settings\": {\"current\": 1200,\n}", "line 4"},
        {"newer", R"({"velmorlibProfile": 2, "settings": {"current": 1200}})", "newer"},
        {"another unit", R"({"velmorlibProfile": 1, "serialNumber": "JXah00101", "settings": {"current": 1200}})",
         "for unit JXah00101"},
        {"a value of the wrong kind", R"({"velmorlibProfile": 1, "settings": {"speed": 1200, "current": "1200"}})",
         "not a whole number"},
    };
    const int32_t before = currentOf(2);
    for (const auto &entry : cases) {
        const auto [code, report] = apply(2, entry.profile);
        EXPECT_EQ(code, VELMOR_ERROR_ARGUMENT) << entry.what;
        EXPECT_TRUE(report.value("error").toString().contains(entry.words)) << entry.what << ": "
                                                                            << report.value("error").toString().toStdString();
        EXPECT_EQ(currentOf(2), before) << entry.what;
    }
    // One profile configures other units when the caller says so.
    const auto [code, report] = apply(2, cases[2].profile, VELMOR_PROFILE_ANY_UNIT);
    EXPECT_EQ(code, VELMOR_OK);
    EXPECT_EQ(currentOf(2), 1200);
}

// What only a write sets is known once this process wrote it: a loaded profile's value has not
// reached the unit until the profile is applied.
TEST_F(Profiles, ASettingOnlyAWriteSetsIsUnchangedOnlyOnceApplied)
{
    QTemporaryDir folder;
    QFile file(folder.filePath("JXah00102.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray profile = R"({"velmorlibProfile": 1, "serialNumber": "JXah00102", "settings": {"pwm": 50}})";
    file.write(profile);
    file.close();
    ASSERT_EQ(velmorLoadProfiles(folder.path().toUtf8().constData(), nullptr, 0, nullptr), VELMOR_OK);

    EXPECT_EQ(outcomeOf(apply(2, profile).second, "pwm"), "applied");
    EXPECT_EQ(outcomeOf(apply(2, profile).second, "pwm"), "unchanged");
}

class TravelLimits : public Profiles
{
protected:
    // A profile for unit 2 (JXah00102) in millimetres, 2.5 full steps each.
    void load(const QByteArray &travel)
    {
        ASSERT_TRUE(m_folder.isValid());
        QFile file(m_folder.filePath("JXah00102.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({"velmorlibProfile": 1, "serialNumber": "JXah00102", "unit": "mm", "stepsPerUnit": 2.5, "travel": )"
                   + travel + "}");
        file.close();
        const auto [code, report] = textOf([&](char *text, uint32_t capacity, uint32_t *needed) {
            return velmorLoadProfiles(m_folder.path().toUtf8().constData(), text, capacity, needed);
        });
        ASSERT_EQ(code, VELMOR_OK);
        ASSERT_EQ(report.value("loaded").toArray().size(), 1) << QJsonDocument(report).toJson().constData();
        ASSERT_EQ(motorOn(2), VELMOR_OK);
    }

    QTemporaryDir m_folder;
};

TEST_F(TravelLimits, AMoveBeyondThemIsRefusedAndSendsNothing)
{
    load(R"({"min": -10, "max": 20})");  // -25 to 50 full steps
    const struct
    {
        const char *what;
        std::function<int32_t()> move;
        int32_t code;
    } moves[] = {
        {"absolute past max", [] { return moveMotorAbsolute(2, 51); }, VELMOR_ERROR_ARGUMENT},
        {"relative past min", [] { return moveMotorRelative(2, -26); }, VELMOR_ERROR_ARGUMENT},
        {"absolute to max", [] { return moveMotorAbsolute(2, 50); }, VELMOR_OK},
    };
    for (const auto &entry : moves) {
        const size_t sent = movesSent(1);
        EXPECT_EQ(entry.move(), entry.code) << entry.what;
        EXPECT_EQ(movesSent(1) - sent, entry.code == VELMOR_OK ? 1u : 0u) << entry.what;
    }
    // Another unit knows no limits.
    EXPECT_EQ(motorOn(1), VELMOR_OK);
    EXPECT_EQ(moveMotorAbsolute(1, 100000), VELMOR_OK);
}

TEST_F(TravelLimits, OutsideThemTheUnitMayComeBackTowardThem)
{
    load(R"({"min": 10})");  // from 25 full steps up; the unit stands at 0
    EXPECT_EQ(moveMotorRelative(2, -1), VELMOR_ERROR_ARGUMENT);
    EXPECT_EQ(moveMotorRelative(2, 10), VELMOR_OK);
}

TEST(ProfileFolder, AFileLeftOutIsNamedWithItsLine)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile good(folder.filePath("a.json"));
    ASSERT_TRUE(good.open(QIODevice::WriteOnly));
    good.write(R"({"velmorlibProfile": 1, "serialNumber": "JXah00101"})");
    good.close();
    QFile bad(folder.filePath("b.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("{\n\"velmorlibProfile\": 1,\n\"travel\": {\"min\": \"x\"}}");
    bad.close();
    std::string report(8192, '\0');
    ASSERT_EQ(velmorLoadProfiles(folder.path().toUtf8().constData(), &report[0], uint32_t(report.size()), nullptr), VELMOR_OK);
    const QJsonObject loaded = QJsonDocument::fromJson(QByteArray(report.c_str())).object();
    EXPECT_EQ(loaded.value("loaded").toArray().size(), 1);
    ASSERT_EQ(loaded.value("problems").toArray().size(), 1);
    EXPECT_TRUE(loaded.value("problems").toArray()[0].toString().contains("b.json: line 3"))
        << loaded.value("problems").toArray()[0].toString().toStdString();
}

} // namespace
