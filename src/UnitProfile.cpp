#include "UnitProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const char kVersionKey[] = "velmorlibProfile";

// A setting's place in the document: its group ("" for the top of "settings") and its key.
struct SettingKey
{
    const char *group;
    const char *key;
    std::optional<qint64> ProfileSettings::*field;
};

const SettingKey kSettingKeys[] = {
    {"", "speed", &ProfileSettings::speed},
    {"", "stepMode", &ProfileSettings::stepMode},
    {"", "acceleration", &ProfileSettings::acceleration},
    {"", "current", &ProfileSettings::current},
    {"", "currentFlag", &ProfileSettings::currentFlag},
    {"backlash", "enabled", &ProfileSettings::backlashEnabled},
    {"backlash", "direction", &ProfileSettings::backlashDirection},
    {"backlash", "amount", &ProfileSettings::backlashAmount},
    {"home", "direction", &ProfileSettings::homeDirection},
    {"home", "flagA", &ProfileSettings::homeFlagA},
    {"home", "flagB", &ProfileSettings::homeFlagB},
    {"home", "valueA", &ProfileSettings::homeValueA},
    {"home", "valueB", &ProfileSettings::homeValueB},
    {"limitSwitches", "input1", &ProfileSettings::input1},
    {"limitSwitches", "type1", &ProfileSettings::type1},
    {"limitSwitches", "input2", &ProfileSettings::input2},
    {"limitSwitches", "type2", &ProfileSettings::type2},
    {"", "pwm", &ProfileSettings::pwm},
    {"", "relay", &ProfileSettings::relay},
};

int lineOf(const QByteArray &text, int offset)
{
    return 1 + static_cast<int>(text.left(offset).count('\n'));
}

// The line a key first appears on (after its group's key, when it has one), for the words of a
// value of the wrong kind.
int lineOfKey(const QByteArray &text, const char *key, const char *group = "")
{
    const int groupAt = group[0] == '\0' ? 0 : std::max(0, int(text.indexOf(QByteArray("\"") + group + "\"")));
    const int at = text.indexOf(QByteArray("\"") + key + "\"", groupAt);
    return at < 0 ? 1 : lineOf(text, at);
}

bool readInteger(const QJsonValue &value, qint64 *out)
{
    if (value.isBool()) {
        *out = value.toBool() ? 1 : 0;
        return true;
    }
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (std::floor(number) != number || std::fabs(number) > 9.0e15)
        return false;
    *out = static_cast<qint64>(number);
    return true;
}

} // namespace

std::optional<UnitProfile> UnitProfile::fromJson(const QByteArray &text, QString *error)
{
    QJsonParseError parsed{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parsed);
    if (parsed.error != QJsonParseError::NoError) {
        *error = QStringLiteral("line %1: %2").arg(lineOf(text, parsed.offset)).arg(parsed.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("line 1: a profile is a JSON object");
        return std::nullopt;
    }
    const QJsonObject top = document.object();
    const auto fail = [&](const char *key, const QString &why, const char *group = "") {
        *error = QStringLiteral("line %1: %2").arg(lineOfKey(text, key, group)).arg(why);
        return std::nullopt;
    };
    qint64 version = 0;
    if (!readInteger(top.value(kVersionKey), &version) || version < 1)
        return fail(kVersionKey, QStringLiteral("\"%1\" is missing or not a version number").arg(kVersionKey));
    if (version > kVersion)
        return fail(kVersionKey, QStringLiteral("version %1 is newer than this library reads (%2)").arg(version).arg(kVersion));

    UnitProfile profile;
    const auto readText = [&](const char *key, QString *out) {
        const QJsonValue value = top.value(key);
        if (value.isUndefined())
            return true;
        if (!value.isString())
            return false;
        *out = value.toString();
        return true;
    };
    if (!readText("serialNumber", &profile.serialNumber))
        return fail("serialNumber", QStringLiteral("\"serialNumber\" is not a text"));
    if (!readText("name", &profile.name))
        return fail("name", QStringLiteral("\"name\" is not a text"));
    if (!readText("unit", &profile.unit) || profile.unit.isEmpty())
        return fail("unit", QStringLiteral("\"unit\" is not a name"));
    const QJsonValue steps = top.value("stepsPerUnit");
    if (!steps.isUndefined()) {
        if (!steps.isDouble() || !(steps.toDouble() > 0) || !std::isfinite(steps.toDouble()))
            return fail("stepsPerUnit", QStringLiteral("\"stepsPerUnit\" is not a positive number"));
        profile.stepsPerUnit = steps.toDouble();
    }
    const QJsonValue travel = top.value("travel");
    if (!travel.isUndefined()) {
        if (!travel.isObject())
            return fail("travel", QStringLiteral("\"travel\" is not an object"));
        for (const char *side : {"min", "max"}) {
            const QJsonValue limit = travel.toObject().value(side);
            if (limit.isUndefined() || limit.isNull())
                continue;
            if (!limit.isDouble())
                return fail("travel", QStringLiteral("travel \"%1\" is not a number").arg(side));
            (side[1] == 'i' ? profile.travelMin : profile.travelMax) = limit.toDouble();
        }
        if (profile.travelMin && profile.travelMax && *profile.travelMin > *profile.travelMax)
            return fail("travel", QStringLiteral("travel \"min\" lies above \"max\""));
    }
    const QJsonValue settingsValue = top.value("settings");
    if (!settingsValue.isUndefined() && !settingsValue.isObject())
        return fail("settings", QStringLiteral("\"settings\" is not an object"));
    const QJsonObject settings = settingsValue.toObject();
    for (const SettingKey &entry : kSettingKeys) {
        const QJsonValue group = entry.group[0] == '\0' ? QJsonValue(settings) : settings.value(entry.group);
        if (group.isUndefined())
            continue;
        if (!group.isObject())
            return fail(entry.group, QStringLiteral("\"%1\" is not an object").arg(entry.group));
        const QJsonValue value = group.toObject().value(entry.key);
        if (value.isUndefined() || value.isNull())
            continue;
        qint64 number = 0;
        if (!readInteger(value, &number))
            return fail(entry.key, QStringLiteral("\"%1\" is not a whole number").arg(entry.key), entry.group);
        profile.settings.*entry.field = number;
    }
    const QJsonValue pwmStepMode = settings.value("pwmStepMode");
    if (!pwmStepMode.isUndefined() && !pwmStepMode.isNull()) {
        if (!pwmStepMode.isBool())
            return fail("pwmStepMode", QStringLiteral("\"pwmStepMode\" is not true or false"));
        profile.settings.pwmStepMode = pwmStepMode.toBool();
    }
    return profile;
}

QByteArray UnitProfile::toJson() const
{
    QJsonObject top;
    top.insert(kVersionKey, kVersion);
    top.insert("serialNumber", serialNumber);
    if (!name.isEmpty())
        top.insert("name", name);
    top.insert("unit", unit);
    top.insert("stepsPerUnit", stepsPerUnit);
    if (travelMin || travelMax) {
        QJsonObject travel;
        if (travelMin)
            travel.insert("min", *travelMin);
        if (travelMax)
            travel.insert("max", *travelMax);
        top.insert("travel", travel);
    }
    QJsonObject settingsObject;
    for (const SettingKey &entry : kSettingKeys) {
        const std::optional<qint64> &value = settings.*entry.field;
        if (!value)
            continue;
        if (entry.group[0] == '\0') {
            settingsObject.insert(entry.key, double(*value));
            continue;
        }
        QJsonObject group = settingsObject.value(entry.group).toObject();
        group.insert(entry.key, double(*value));
        settingsObject.insert(entry.group, group);
    }
    if (settings.pwmStepMode)
        settingsObject.insert("pwmStepMode", *settings.pwmStepMode);
    top.insert("settings", settingsObject);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

std::optional<double> UnitProfile::travelMinSteps() const
{
    return travelMin ? std::optional<double>(*travelMin * stepsPerUnit) : std::nullopt;
}

std::optional<double> UnitProfile::travelMaxSteps() const
{
    return travelMax ? std::optional<double>(*travelMax * stepsPerUnit) : std::nullopt;
}

bool UnitProfile::allowsMove(double current, double target) const
{
    // A limit of 2.3 mm at 200 steps per mm is 459.99999999999994 full steps in binary: the
    // move to 460 steps reaches the limit, it does not pass it.
    constexpr double kSlack = 1e-6;
    const double low = travelMinSteps().value_or(-INFINITY) - kSlack;
    const double high = travelMaxSteps().value_or(INFINITY) + kSlack;
    if (target >= low && target <= high)
        return true;
    // Outside the limits already: a move that comes closer to them without passing beyond.
    const auto distance = [&](double position) { return position < low ? low - position : position - high; };
    const bool sameSide = (current < low && target < low) || (current > high && target > high);
    return sameSide && distance(target) < distance(current);
}
