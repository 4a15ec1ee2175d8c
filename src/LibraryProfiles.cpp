// The companion functions of unit profiles: read, apply, compare and load.
#include "BrokerRoute.h"
#include "LibraryCall.h"
#include "ProfileApplication.h"
#include "ProfileStore.h"
#include "VelmorLibExtras.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>
#include <functional>

namespace {

// Copies `text` into the caller's buffer as the profile functions do.
void giveText(const QByteArray &text, char *buffer, uint32_t capacity, uint32_t *needed)
{
    if (needed != nullptr)
        *needed = static_cast<uint32_t>(text.size()) + 1;
    const size_t length = std::min<size_t>(size_t(text.size()), capacity - 1);
    std::memcpy(buffer, text.constData(), length);
    buffer[length] = '\0';
}

QByteArray problemReport(const QString &problem)
{
    QJsonObject report;
    report.insert("error", problem);
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

// The profile in `json`, or nothing with the report saying why.
std::optional<UnitProfile> parsedProfile(const char *json, QByteArray *report)
{
    QString error;
    std::optional<UnitProfile> profile = UnitProfile::fromJson(QByteArray(json), &error);
    if (!profile)
        *report = problemReport(error);
    return profile;
}

bool namesAnotherUnit(int32_t deviceIndex, const UnitProfile &profile, QByteArray *report)
{
    if (profile.serialNumber.isEmpty())
        return false;
    VelmorUnitState state{};
    state.size = sizeof state;
    if (velmorGetUnitState(deviceIndex, &state) != VELMOR_OK || state.listed != 1)
        return false;
    if (profile.serialNumber.compare(QLatin1String(state.serialNumber), Qt::CaseInsensitive) == 0)
        return false;
    *report = problemReport(QStringLiteral("the profile is for unit %1, not for %2 at index %3")
                                .arg(profile.serialNumber, QLatin1String(state.serialNumber))
                                .arg(deviceIndex));
    return true;
}

// The frame of the functions that take a profile and give a report: the profile parsed (a
// report of why not otherwise), `body` run on it, the report handed over.
int32_t withProfile(const char *json, char *report, uint32_t capacity, uint32_t *needed,
                    const std::function<int32_t(const UnitProfile &, QByteArray *)> &body)
{
    if (json == nullptr || report == nullptr || capacity == 0)
        return VELMOR_ERROR_ARGUMENT;
    QByteArray text;
    int32_t code = VELMOR_ERROR_ARGUMENT;
    if (const std::optional<UnitProfile> profile = parsedProfile(json, &text))
        code = body(*profile, &text);
    giveText(text, report, capacity, needed);
    return code;
}

} // namespace

using BrokerRoute::Out;
using BrokerRoute::Text;

extern "C" {

VELMOR_API int32_t VELMOR_CALL velmorReadProfile(int32_t deviceIndex, char *json, uint32_t capacity, uint32_t *needed)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ReadProfile, VELMOR_ERROR_READ_FAILED, deviceIndex,
                                                    Text{json, capacity}, capacity, Out<uint32_t>{needed}))
        return *routedCode;
    return guarded(VELMOR_ERROR_READ_FAILED, [&] {
        if (json == nullptr || capacity == 0)
            return int32_t(VELMOR_ERROR_ARGUMENT);
        QByteArray text;
        const int32_t code = ProfileApplication::read(deviceIndex, &text);
        if (code == VELMOR_OK)
            giveText(text, json, capacity, needed);
        return code;
    });
}

VELMOR_API int32_t VELMOR_CALL velmorApplyProfile(int32_t deviceIndex, const char *json, uint32_t flags, char *report,
                                                  uint32_t capacity, uint32_t *needed)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::ApplyProfile, VELMOR_ERROR_ARGUMENT, deviceIndex, json,
                                                    flags, Text{report, capacity}, capacity, Out<uint32_t>{needed}))
        return *routedCode;
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        return withProfile(json, report, capacity, needed, [&](const UnitProfile &profile, QByteArray *text) {
            if ((flags & VELMOR_PROFILE_ANY_UNIT) == 0 && namesAnotherUnit(deviceIndex, profile, text))
                return int32_t(VELMOR_ERROR_ARGUMENT);
            ProfileApplication::ApplyOptions options;
            options.fix = (flags & VELMOR_PROFILE_FIX) != 0;
            options.dryRun = (flags & VELMOR_PROFILE_DRY_RUN) != 0;
            return ProfileApplication::apply(deviceIndex, profile, options, text);
        });
    });
}

VELMOR_API int32_t VELMOR_CALL velmorDiffProfile(int32_t deviceIndex, const char *json, char *report, uint32_t capacity,
                                                 uint32_t *needed)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::DiffProfile, VELMOR_ERROR_ARGUMENT, deviceIndex, json,
                                                    Text{report, capacity}, capacity, Out<uint32_t>{needed}))
        return *routedCode;
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        return withProfile(json, report, capacity, needed, [&](const UnitProfile &profile, QByteArray *text) {
            return ProfileApplication::diff(deviceIndex, profile, text);
        });
    });
}

VELMOR_API int32_t VELMOR_CALL velmorLoadProfiles(const char *folder, char *report, uint32_t capacity, uint32_t *needed)
{
    if (const auto routedCode = BrokerRoute::routed(BrokerFunction::LoadProfiles, VELMOR_ERROR_ARGUMENT, folder,
                                                    Text{report, capacity}, capacity, Out<uint32_t>{needed}))
        return *routedCode;
    return guarded(VELMOR_ERROR_ARGUMENT, [&] {
        const QStringList folders = folder != nullptr ? QStringList{QString::fromUtf8(folder)} : ProfileStore::defaultFolders();
        const ProfileStore::LoadReport loaded = ProfileStore::instance().load(folders);
        if (report != nullptr && capacity > 0) {
            QJsonObject text;
            text.insert("folders", QJsonArray::fromStringList(loaded.folders));
            text.insert("loaded", QJsonArray::fromStringList(loaded.loaded));
            text.insert("problems", QJsonArray::fromStringList(loaded.problems));
            giveText(QJsonDocument(text).toJson(QJsonDocument::Indented), report, capacity, needed);
        }
        return int32_t(VELMOR_OK);
    });
}

} // extern "C"
