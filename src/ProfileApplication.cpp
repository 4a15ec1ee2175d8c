#include "ProfileApplication.h"

#include "ProfileStore.h"
#include "VelmorLibExtras.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <functional>
#include <vector>

namespace {

using Field = std::optional<qint64> ProfileSettings::*;

// One setting as the unit takes it: the fields one function writes together.
struct Setting
{
    const char *name;
    std::vector<std::pair<const char *, Field>> fields;
    // The function that explains a refusal of these values, "" when none does.
    const char *explainer;
    bool writeOnly;
    std::function<int32_t(int32_t index, const std::vector<qint64> &values)> write;
    // The nearest values the unit accepts.
    std::function<std::vector<qint64>(std::vector<qint64> values, const VelmorLimits &limits)> fix;
};

qint64 clamp(qint64 value, qint64 low, qint64 high)
{
    return std::max(low, std::min(value, high));
}

const std::vector<Setting> &settings()
{
    using S = ProfileSettings;
    static const std::vector<Setting> all = {
        {"speed", {{"speed", &S::speed}, {"stepMode", &S::stepMode}}, "setMotorSpeed", false,
         [](int32_t i, const std::vector<qint64> &v) { return setMotorSpeed(i, int32_t(v[0]), int32_t(v[1])); },
         [](std::vector<qint64> v, const VelmorLimits &l) {
             v[1] = clamp(v[1], 0, l.largestStepMode);
             const qint64 fastest = v[1] < 31 ? qint64(l.maximumStepRate) >> v[1] : 0;
             v[0] = clamp(v[0], 0, std::min<qint64>(l.largestSpeed, fastest));
             return v;
         }},
        {"acceleration", {{"acceleration", &S::acceleration}}, "setMotorAcceleration", false,
         [](int32_t i, const std::vector<qint64> &v) { return setMotorAcceleration(i, int32_t(v[0])); },
         [](std::vector<qint64> v, const VelmorLimits &l) { return std::vector<qint64>{clamp(v[0], 0, l.largestAcceleration)}; }},
        {"current", {{"current", &S::current}, {"currentFlag", &S::currentFlag}}, "setMotorCurrent", false,
         [](int32_t i, const std::vector<qint64> &v) { return setMotorCurrent(i, int32_t(v[0]), uint8_t(v[1] != 0)); },
         [](std::vector<qint64> v, const VelmorLimits &l) {
             return std::vector<qint64>{clamp(v[0], l.minimumCurrent, l.maximumCurrent), v[1] != 0 ? 1 : 0};
         }},
        {"backlash", {{"enabled", &S::backlashEnabled}, {"direction", &S::backlashDirection}, {"amount", &S::backlashAmount}},
         "setBacklashCompensation", false,
         [](int32_t i, const std::vector<qint64> &v) {
             return setBacklashCompensation(i, uint8_t(v[0] != 0), uint32_t(v[1]), int32_t(v[2]));
         },
         [](std::vector<qint64> v, const VelmorLimits &l) {
             return std::vector<qint64>{v[0] != 0 ? 1 : 0, clamp(v[1], 0, 1), clamp(v[2], 0, l.largestBacklashAmount)};
         }},
        {"home", {{"direction", &S::homeDirection}, {"flagB", &S::homeFlagB}, {"flagA", &S::homeFlagA},
                  {"valueA", &S::homeValueA}, {"valueB", &S::homeValueB}},
         "setHomeSettings", false,
         [](int32_t i, const std::vector<qint64> &v) {
             return setHomeSettings(i, uint32_t(v[0]), uint8_t(v[1] != 0), uint8_t(v[2] != 0), uint32_t(v[3]), uint32_t(v[4]));
         },
         [](std::vector<qint64> v, const VelmorLimits &l) {
             return std::vector<qint64>{clamp(v[0], 0, 1), v[1] != 0 ? 1 : 0, v[2] != 0 ? 1 : 0,
                                        clamp(v[3], 0, l.largestHomeValue), clamp(v[4], 0, l.largestHomeValue)};
         }},
        {"limitSwitches", {{"input1", &S::input1}, {"type1", &S::type1}, {"input2", &S::input2}, {"type2", &S::type2}},
         "setLimitSwitches", true,
         [](int32_t i, const std::vector<qint64> &v) {
             return setLimitSwitches(i, int32_t(v[0]), uint32_t(v[1]), int32_t(v[2]), uint32_t(v[3]));
         },
         [](std::vector<qint64> v, const VelmorLimits &l) {
             return std::vector<qint64>{clamp(v[0], 1, l.inputChannels), clamp(v[1], 0, 6), clamp(v[2], 1, l.inputChannels),
                                        clamp(v[3], 0, 6)};
         }},
        {"pwm", {{"pwm", &S::pwm}}, "setPWM", true, [](int32_t i, const std::vector<qint64> &v) { return setPWM(i, int32_t(v[0])); },
         [](std::vector<qint64> v, const VelmorLimits &l) { return std::vector<qint64>{clamp(v[0], 0, l.pwmLimit)}; }},
        {"relay", {{"relay", &S::relay}}, "", true,
         [](int32_t i, const std::vector<qint64> &v) { return setRelay(i, uint8_t(v[0] != 0)); },
         [](std::vector<qint64> v, const VelmorLimits &) { return std::vector<qint64>{v[0] != 0 ? 1 : 0}; }},
    };
    return all;
}

// What the unit holds now: the settings it reads back, and the write-only ones as last applied
// in this process.
struct UnitNow
{
    QString serial;
    ProfileSettings values;
    VelmorLimits limits{};
};

int32_t readUnit(int32_t index, UnitNow *now)
{
    VelmorUnitInfo info{};
    info.size = sizeof info;
    VelmorMotionSettings motion{};
    motion.size = sizeof motion;
    VelmorMotorSettings motor{};
    motor.size = sizeof motor;
    VelmorMoveSettings move{};
    move.size = sizeof move;
    now->limits.size = sizeof now->limits;
    for (int32_t code : {velmorGetUnitInfo(index, &info), velmorReadMotionSettings(index, &motion),
                         velmorReadMotorSettings(index, &motor), velmorReadMoveSettings(index, &move),
                         velmorGetLimits(index, &now->limits)}) {
        if (code != VELMOR_OK)
            return code;
    }
    now->serial = QString::fromLatin1(info.serialNumber);
    now->values = ProfileStore::instance().lastApplied(now->serial);
    ProfileSettings &v = now->values;
    v.speed = motion.speed;
    v.stepMode = motion.stepMode;
    v.acceleration = motion.accelerationMode == 0 ? 0 : motion.acceleration;
    v.current = motor.current;
    v.currentFlag = motor.currentFlag;
    v.backlashEnabled = move.backlashEnabled;
    v.backlashDirection = move.backlashDirection;
    v.backlashAmount = move.backlashAmount;
    v.homeDirection = move.homeDirection;
    v.homeFlagA = move.homeFlagA;
    v.homeFlagB = move.homeFlagB;
    v.homeValueA = move.homeValueA;
    v.homeValueB = move.homeValueB;
    if (!now->limits.hasRelay)
        v.relay.reset();
    return VELMOR_OK;
}

QJsonObject valuesObject(const Setting &setting, const std::vector<qint64> &values)
{
    QJsonObject object;
    for (size_t at = 0; at < values.size(); ++at)
        object.insert(setting.fields[at].first, double(values[at]));
    return object;
}

// The setting's values in the profile, the unit's filling what the profile leaves out; nothing
// when the profile names none of them, or leaves out one the unit cannot tell.
std::optional<std::vector<qint64>> wanted(const Setting &setting, const ProfileSettings &profile, const ProfileSettings &unit,
                                          bool *incomplete)
{
    std::vector<qint64> values;
    bool named = false;
    *incomplete = false;
    for (const auto &field : setting.fields) {
        const std::optional<qint64> &given = profile.*field.second;
        named = named || given.has_value();
        const std::optional<qint64> value = given ? given : unit.*field.second;
        if (!value)
            *incomplete = true;
        values.push_back(value.value_or(0));
    }
    return named ? std::optional<std::vector<qint64>>(values) : std::nullopt;
}

std::optional<std::vector<qint64>> held(const Setting &setting, const ProfileSettings &unit)
{
    std::vector<qint64> values;
    for (const auto &field : setting.fields) {
        if (!(unit.*field.second))
            return std::nullopt;
        values.push_back(*(unit.*field.second));
    }
    return values;
}

std::string refusal(int32_t index, const Setting &setting, const std::vector<qint64> &values, const VelmorLimits &limits)
{
    if (std::string(setting.name) == "relay" && !limits.hasRelay)
        return "this unit has no relay";
    if (setting.explainer[0] == '\0')
        return std::string();
    std::vector<int64_t> arguments(values.begin(), values.end());
    char text[512] = {};
    if (velmorExplainRefusal(index, setting.explainer, arguments.data(), int32_t(arguments.size()), text, sizeof text) != VELMOR_OK)
        return std::string();
    return text;
}

void noteWriteOnly(const QString &serial, const Setting &setting, const std::vector<qint64> &values)
{
    if (!setting.writeOnly)
        return;
    ProfileSettings applied;
    for (size_t at = 0; at < values.size(); ++at)
        applied.*setting.fields[at].second = values[at];
    ProfileStore::instance().noteApplied(serial, applied);
}

QByteArray documentOf(const QString &serial, const QJsonArray &entries)
{
    QJsonObject report;
    report.insert("serialNumber", serial);
    report.insert("settings", entries);
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

} // namespace

namespace ProfileApplication {

int32_t read(int32_t deviceIndex, QByteArray *json)
{
    UnitNow now;
    const int32_t code = readUnit(deviceIndex, &now);
    if (code != VELMOR_OK)
        return code;
    UnitProfile profile = ProfileStore::instance().profileOf(now.serial).value_or(UnitProfile());
    profile.serialNumber = now.serial;
    profile.settings = now.values;
    *json = profile.toJson();
    return VELMOR_OK;
}

int32_t apply(int32_t deviceIndex, const UnitProfile &profile, const ApplyOptions &options, QByteArray *report)
{
    UnitNow now;
    int32_t first = readUnit(deviceIndex, &now);
    if (first != VELMOR_OK)
        return first;
    QJsonArray entries;
    for (const Setting &setting : settings()) {
        bool incomplete = false;
        const std::optional<std::vector<qint64>> values = wanted(setting, profile.settings, now.values, &incomplete);
        if (!values)
            continue;
        QJsonObject entry;
        entry.insert("setting", setting.name);
        entry.insert("profile", valuesObject(setting, *values));
        std::vector<qint64> written = *values;
        QString outcome = QStringLiteral("applied");
        std::string reason;
        int32_t code = VELMOR_OK;
        if (incomplete) {
            outcome = QStringLiteral("refused");
            reason = "the profile leaves out a value of it that the unit cannot tell";
            code = VELMOR_ERROR_ARGUMENT;
        } else if (held(setting, now.values) == written) {
            outcome = QStringLiteral("unchanged");
        } else {
            reason = refusal(deviceIndex, setting, written, now.limits);
            if (!reason.empty() && options.fix && setting.name != std::string("relay")) {
                written = setting.fix(written, now.limits);
                outcome = refusal(deviceIndex, setting, written, now.limits).empty() ? QStringLiteral("fixed")
                                                                                      : QStringLiteral("refused");
            } else if (!reason.empty()) {
                outcome = QStringLiteral("refused");
            }
            if (outcome == QLatin1String("refused"))
                code = VELMOR_ERROR_ARGUMENT;
            else if (!options.dryRun)
                code = setting.write(deviceIndex, written);
            if (code != VELMOR_OK && outcome != QLatin1String("refused")) {
                outcome = QStringLiteral("failed");
                reason = velmorResultText(code);
            }
            if (code == VELMOR_OK && !options.dryRun)
                noteWriteOnly(now.serial, setting, written);
        }
        entry.insert("outcome", outcome);
        if (outcome == QLatin1String("fixed"))
            entry.insert("written", valuesObject(setting, written));
        if (!reason.empty())
            entry.insert("reason", QString::fromStdString(reason));
        if (code != VELMOR_OK) {
            entry.insert("code", code);
            if (first == VELMOR_OK)
                first = code;
        }
        entries.append(entry);
    }
    if (profile.settings.pwmStepMode.value_or(false)) {
        QJsonObject entry;
        entry.insert("setting", "pwmStepMode");
        const int32_t code = options.dryRun ? VELMOR_OK : setPWMStepMode(deviceIndex);
        entry.insert("outcome", code == VELMOR_OK ? "applied" : "failed");
        if (code != VELMOR_OK) {
            entry.insert("code", code);
            entry.insert("reason", velmorResultText(code));
            if (first == VELMOR_OK)
                first = code;
        }
        entries.append(entry);
    }
    *report = documentOf(now.serial, entries);
    return first;
}

int32_t diff(int32_t deviceIndex, const UnitProfile &profile, QByteArray *report)
{
    UnitNow now;
    const int32_t code = readUnit(deviceIndex, &now);
    if (code != VELMOR_OK)
        return code;
    QJsonArray entries;
    for (const Setting &setting : settings()) {
        for (const auto &field : setting.fields) {
            const std::optional<qint64> &given = profile.settings.*field.second;
            const std::optional<qint64> &unit = now.values.*field.second;
            if (!given || given == unit)
                continue;
            QJsonObject entry;
            entry.insert("setting", QStringLiteral("%1.%2").arg(setting.name, field.first));
            entry.insert("profile", double(*given));
            entry.insert("unit", unit ? QJsonValue(double(*unit)) : QJsonValue(QStringLiteral("unknown")));
            entries.append(entry);
        }
    }
    *report = documentOf(now.serial, entries);
    return VELMOR_OK;
}

} // namespace ProfileApplication
