#include "ProfileCatalog.h"

#include "VelmorLib.hpp"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

std::map<std::string, ProfileScale> ProfileCatalog::s_scales;
bool ProfileCatalog::s_readsUnits = false;

namespace {

std::string lowered(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// Whether a profile read back from a unit says anything of its own: the library gives a unit
// without a loaded profile "steps", 1 step per unit and no limits.
bool saysAnything(const ProfileScale &scale)
{
    return !scale.name.empty() || scale.unit != "steps" || scale.stepsPerUnit != 1.0 || scale.travelMin
        || scale.travelMax;
}

} // namespace

int32_t ProfileCatalog::readText(const std::function<int32_t(char *, uint32_t, uint32_t *)> &call, std::string *text)
{
    std::vector<char> buffer(16384);
    for (int tries = 0; tries < 3; ++tries) {
        uint32_t needed = 0;
        const int32_t code = call(buffer.data(), static_cast<uint32_t>(buffer.size()), &needed);
        if (needed <= buffer.size() || code != VELMOR_OK) {
            *text = buffer.data();
            return code;
        }
        buffer.assign(needed, '\0');
    }
    *text = buffer.data();
    return VELMOR_OK;
}

std::optional<ProfileScale> ProfileCatalog::scaleFromJson(const std::string &json)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject top = document.object();
    ProfileScale scale;
    scale.serialNumber = top.value("serialNumber").toString().toStdString();
    scale.name = top.value("name").toString().toStdString();
    scale.unit = top.value("unit").toString(QStringLiteral("steps")).toStdString();
    scale.stepsPerUnit = top.value("stepsPerUnit").toDouble(1.0);
    if (!(scale.stepsPerUnit > 0))
        return std::nullopt;
    const QJsonObject travel = top.value("travel").toObject();
    if (travel.value("min").isDouble())
        scale.travelMin = travel.value("min").toDouble();
    if (travel.value("max").isDouble())
        scale.travelMax = travel.value("max").toDouble();
    return scale;
}

std::vector<std::string> ProfileCatalog::load()
{
    s_scales.clear();
    s_readsUnits = false;
    std::string report;
    readText([](char *text, uint32_t capacity, uint32_t *needed) { return velmorLoadProfiles(nullptr, text, capacity, needed); },
             &report);
    const QJsonObject loaded = QJsonDocument::fromJson(QByteArray::fromStdString(report)).object();
    for (const QJsonValue &path : loaded.value("loaded").toArray()) {
        QFile file(path.toString());
        std::optional<ProfileScale> scale;
        if (file.open(QIODevice::ReadOnly))
            scale = scaleFromJson(file.read(1 << 20).toStdString());
        if (scale && !scale->serialNumber.empty())
            s_scales[lowered(scale->serialNumber)] = *scale;
        else
            s_readsUnits = true;    // velmord's file, say, that this user may not read
    }
    std::vector<std::string> problems;
    for (const QJsonValue &problem : loaded.value("problems").toArray())
        problems.push_back(problem.toString().toStdString());
    return problems;
}

std::optional<ProfileScale> ProfileCatalog::scaleOf(int32_t index)
{
    if (s_scales.empty() && !s_readsUnits)
        return std::nullopt;
    VelmorUnitState state = velmor::sized<VelmorUnitState>();
    if (velmorGetUnitState(index, &state) == VELMOR_OK) {
        const std::string serial = state.held == 1 ? state.heldSerialNumber : (state.listed == 1 ? state.serialNumber : "");
        const auto found = s_scales.find(lowered(serial));
        if (found != s_scales.end())
            return found->second;
    }
    if (!s_readsUnits)
        return std::nullopt;
    std::string json;
    if (readText([index](char *text, uint32_t capacity, uint32_t *needed) {
            return velmorReadProfile(index, text, capacity, needed);
        }, &json) != VELMOR_OK)
        return std::nullopt;
    const std::optional<ProfileScale> scale = scaleFromJson(json);
    return scale && saysAnything(*scale) ? scale : std::nullopt;
}

std::string ProfileCatalog::userFolder()
{
    const QString chosen = qEnvironmentVariable("VELMOR_PROFILES");
    if (!chosen.isEmpty() && chosen.compare(QLatin1String("off"), Qt::CaseSensitive) != 0)
        return chosen.toStdString();
#ifdef Q_OS_WIN
    return (qEnvironmentVariable("APPDATA") + QStringLiteral("/velmorlib/units")).toStdString();
#else
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = qEnvironmentVariable("HOME") + QStringLiteral("/.config");
    return (config + QStringLiteral("/velmorlib/units")).toStdString();
#endif
}
