#include "UnitWorker.h"

#include "UnitCall.h"
#include "UnitReadings.h"
#include "VelmorLib.hpp"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace {

// Holds every profile and report the library words; a longer text is cut short, and its reader
// says so rather than take half of it.
constexpr uint32_t s_textCapacity = 256 * 1024;

using TextFunction = std::function<int32_t(char *text, uint32_t capacity, uint32_t *needed)>;

// Calls a profile function that gives text, once: an apply must not run twice for a longer
// buffer. *cut tells that the text did not fit.
int32_t textOf(const TextFunction &function, QByteArray *text, bool *cut = nullptr)
{
    QByteArray buffer(int(s_textCapacity), '\0');
    uint32_t needed = 0;
    const int32_t code = function(buffer.data(), s_textCapacity, &needed);
    *text = QByteArray(buffer.constData());
    if (cut)
        *cut = needed > s_textCapacity;
    return code;
}

QStringList textsOf(const QJsonValue &array)
{
    QStringList texts;
    for (const QJsonValue value : array.toArray())
        texts.append(value.toString());
    return texts;
}

} // namespace

UnitWorker::UnitWorker(QObject *parent)
    : QObject(parent)
{
}

void UnitWorker::post(Job job)
{
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.push_back(std::move(job));
    }
    QMetaObject::invokeMethod(this, &UnitWorker::runNext, Qt::QueuedConnection);
}

void UnitWorker::postFirst(Job job)
{
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.push_front(std::move(job));
    }
    QMetaObject::invokeMethod(this, &UnitWorker::runNext, Qt::QueuedConnection);
}

void UnitWorker::runNext()
{
    Job job;
    {
        QMutexLocker lock(&m_mutex);
        if (m_jobs.empty())
            return;
        job = std::move(m_jobs.front());
        m_jobs.pop_front();
    }
    job(*this);
}

void UnitWorker::start()
{
    m_listTimer = new QTimer(this);
    connect(m_listTimer, &QTimer::timeout, this, &UnitWorker::pollUnits);
    m_statusTimer = new QTimer(this);
    connect(m_statusTimer, &QTimer::timeout, this, &UnitWorker::pollStatus);
    checkSharing(true);
    loadProfiles();
    timed(QStringLiteral("initialise()"), false, [] { return initialise(); });
    pollUnits();
    m_listTimer->start(s_listIntervalMs);
}

void UnitWorker::shutdown()
{
    if (m_listTimer)
        m_listTimer->stop();
    if (m_statusTimer)
        m_statusTimer->stop();
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.clear();
    }
    timed(QStringLiteral("velmorReleaseAllUnits()"), false, [] { return velmorReleaseAllUnits(); });
    m_heldIndex = 0;
}

int32_t UnitWorker::timed(const QString &call, bool isPoll, const std::function<int32_t()> &function)
{
    QElapsedTimer clock;
    clock.start();
    const int32_t code = function();
    CallRecord record;
    record.call = call;
    record.code = code;
    record.resultText = UnitReadings::resultText(code);
    record.milliseconds = clock.nsecsElapsed() / 1e6;
    record.isPoll = isPoll;
    emit callMade(record);
    return code;
}

// The default folders (VELMOR_PROFILES, else the user's and the system's): from here on the
// travel limits of a loaded profile hold for every move this application asks for.
void UnitWorker::loadProfiles()
{
    QByteArray text;
    timed(QStringLiteral("velmorLoadProfiles(NULL)"), false, [&] {
        return textOf([](char *report, uint32_t capacity, uint32_t *needed) {
            return velmorLoadProfiles(nullptr, report, capacity, needed);
        }, &text);
    });
    const QJsonObject report = QJsonDocument::fromJson(text).object();
    const QStringList folders = textsOf(report.value(QLatin1String("folders")));
    const QStringList loaded = textsOf(report.value(QLatin1String("loaded")));
    const QString summary = loaded.isEmpty()
        ? tr("no unit profiles loaded (folders read: %1)").arg(folders.isEmpty() ? tr("none") : folders.join(QStringLiteral(", ")))
        : tr("%n unit profile(s) loaded: %1", nullptr, loaded.size()).arg(loaded.join(QStringLiteral(", ")));
    emit profilesLoaded(summary, textsOf(report.value(QLatin1String("problems"))));
}

// The name, unit and travel limits of the unit's loaded profile; full steps when it has none.
UnitScale UnitWorker::readScale(int index)
{
    QByteArray profile;
    const int32_t code = timed(QStringLiteral("velmorReadProfile(%1)").arg(index), false, [&] {
        return textOf([index](char *json, uint32_t capacity, uint32_t *needed) {
            return velmorReadProfile(index, json, capacity, needed);
        }, &profile);
    });
    return code == VELMOR_OK ? UnitReadings::scale(profile) : UnitScale();
}

void UnitWorker::checkSharing(bool always)
{
    auto info = velmor::sized<VelmorBrokerInfo>();
    if (timed(QStringLiteral("velmorGetBrokerInfo()"), true, [&] { return velmorGetBrokerInfo(&info); }) != VELMOR_OK)
        return;
    UnitSharing sharing;
    sharing.velmordRuns = info.running != 0;
    if (!sharing.velmordRuns && m_heldIndex != 0)
        m_heldHere = true;
    sharing.throughVelmord = sharing.velmordRuns && !(m_heldIndex != 0 && m_heldHere);
    if (sharing.velmordRuns) {
        sharing.socket = QString::fromLocal8Bit(info.socket);
        // velmord lists connections; a program may have several.
        QVector<int64_t> programs;
        const int listed = std::clamp<int32_t>(info.clientCount, 0, int32_t(std::size(info.clients)));
        for (int at = 0; at < listed; ++at) {
            if (!programs.contains(info.clients[at].pid))
                programs.append(info.clients[at].pid);
        }
        sharing.programs = programs.size();
    }
    if (always || sharing != m_sharing) {
        m_sharing = sharing;
        emit sharingChanged(sharing);
    }
}

void UnitWorker::pollUnits()
{
    checkSharing();
    UnitEntries listed;
    if (!readListing(&listed))
        return;
    // Before any unit is opened for the list: a held index answers for its own unit only.
    if (m_heldIndex != 0)
        trackHeldUnit();
    if (!m_listed || listingChanged(listed))
        showUnits(listed);
}

// The attached units as D2XX lists them, opening none. False when the count cannot be read.
bool UnitWorker::readListing(UnitEntries *listed)
{
    int32_t count = 0;
    if (timed(QStringLiteral("getDeviceCount()"), true, [&] { return getDeviceCount(&count); }) != VELMOR_OK)
        return false;
    for (int index = 1; index <= std::min(count, s_highestIndex); ++index) {
        const VelmorUnitState state = unitState(index, true);
        // The bus changed since the count: the next poll sees it whole.
        if (state.listed == 0)
            break;
        UnitEntry entry;
        entry.index = index;
        entry.serial = QString::fromLatin1(state.serialNumber);
        entry.busy = state.openElsewhere != 0;
        listed->append(entry);
    }
    return true;
}

// Units that came, went or changed places, and units taken or let go by another program.
bool UnitWorker::listingChanged(const UnitEntries &listed) const
{
    if (listed.size() != m_units.size())
        return true;
    for (int row = 0; row < listed.size(); ++row) {
        if (listed.at(row).serial != m_units.at(row).serial || listed.at(row).busy != m_units.at(row).busy)
            return true;
    }
    return false;
}

void UnitWorker::showUnits(const UnitEntries &listed)
{
    UnitEntries units;
    for (const UnitEntry &entry : listed)
        units.append(withDetails(entry));
    m_units = units;
    m_listed = true;
    emit unitsListed(units);
}

// A unit listed before keeps what was read of it; a unit new to the list, or free again, is read.
UnitEntry UnitWorker::withDetails(const UnitEntry &listed)
{
    UnitEntry entry = listed;
    if (entry.busy)
        return entry;
    for (const UnitEntry &known : qAsConst(m_units)) {
        if (known.serial == entry.serial && known.isRead()) {
            entry.chip = known.chip;
            entry.hardware = known.hardware;
            entry.firmware = known.firmware;
            return entry;
        }
    }
    readInfo(entry);
    return entry;
}

void UnitWorker::readInfo(UnitEntry &entry)
{
    const int index = entry.index;
    auto info = velmor::sized<VelmorUnitInfo>();
    entry.infoCode = timed(QStringLiteral("velmorGetUnitInfo(%1)").arg(index), false,
                           [&] { return velmorGetUnitInfo(index, &info); });
    if (entry.infoCode == VELMOR_ERROR_OPEN_FAILED && unitState(index, false).openElsewhere != 0) {
        // Taken by another program since the listing.
        entry.busy = true;
        return;
    }
    if (entry.infoCode != VELMOR_OK) {
        entry.infoText = UnitReadings::resultText(entry.infoCode);
        return;
    }
    entry.chip = QString::fromLatin1(velmorChipName(info.chipType));
    entry.hardware = QStringLiteral("%1.%2").arg(info.hardwareMajor).arg(info.hardwareMinor);
    entry.firmware = QStringLiteral("%1.%2").arg(info.firmwareMajor).arg(info.firmwareMinor);
    entry.name = readScale(index).name;
}

// Units before the held one may have come or gone: follow it to its new index, or let it go.
void UnitWorker::trackHeldUnit()
{
    const VelmorUnitState state = unitState(m_heldIndex, true);
    if (state.held == 0 || state.heldUnitAway == 0)
        return;
    if (state.heldUnitListedAt == 0) {
        loseHeldUnit(tr("was unplugged (it is no longer listed)"));
        return;
    }
    // Held anew by its serial number at the index it is listed at now; the old index is let go.
    const int shownAt = m_heldIndex;
    const QString serial = m_heldSerial;
    select(shownAt, serial);
}

void UnitWorker::loseHeldUnit(const QString &reason)
{
    const int index = m_heldIndex;
    const QString serial = m_heldSerial;
    releaseHeld();
    emit selectedUnitLost(index, serial, reason);
}

void UnitWorker::releaseHeld()
{
    m_statusTimer->stop();
    if (m_heldIndex == 0)
        return;
    const int index = m_heldIndex;
    timed(QStringLiteral("velmorReleaseUnit(%1)").arg(index), false, [&] { return velmorReleaseUnit(index); });
    m_heldIndex = 0;
    m_heldSerial.clear();
    m_heldScale = UnitScale();
}

void UnitWorker::select(int index, const QString &serial)
{
    releaseHeld();
    // With nothing held here, the hold goes to velmord where it runs.
    m_heldHere = false;
    checkSharing();
    const QByteArray serialBytes = serial.toLatin1();
    int32_t heldAt = index;
    const int32_t code = timed(QStringLiteral("velmorHoldUnitBySerial(\"%1\")").arg(serial), false,
                               [&] { return velmorHoldUnitBySerial(serialBytes.constData(), &heldAt); });
    if (code != VELMOR_OK) {
        emit selectedUnitLost(index, serial, failureReason(code, heldAt, serial));
        return;
    }
    m_heldIndex = heldAt;
    m_heldSerial = serial;
    m_heldHere = !m_sharing.velmordRuns;
    readSettings(heldAt);
    m_statusTimer->setInterval(s_statusIntervalMs);
    m_statusTimer->start();
    pollStatus();
}

void UnitWorker::readSettings(int index)
{
    auto limits = velmor::sized<VelmorLimits>();
    auto motion = velmor::sized<VelmorMotionSettings>();
    auto motor = velmor::sized<VelmorMotorSettings>();
    auto move = velmor::sized<VelmorMoveSettings>();
    const int32_t codes[] = {
        timed(QStringLiteral("velmorGetLimits(%1)").arg(index), false, [&] { return velmorGetLimits(index, &limits); }),
        timed(QStringLiteral("velmorReadMotionSettings(%1)").arg(index), false,
              [&] { return velmorReadMotionSettings(index, &motion); }),
        timed(QStringLiteral("velmorReadMotorSettings(%1)").arg(index), false,
              [&] { return velmorReadMotorSettings(index, &motor); }),
        timed(QStringLiteral("velmorReadMoveSettings(%1)").arg(index), false,
              [&] { return velmorReadMoveSettings(index, &move); }),
    };
    UnitSnapshot snapshot;
    snapshot.index = index;
    snapshot.ranges = UnitReadings::ranges(limits);
    snapshot.settings = UnitReadings::settings(motion, motor, move);
    snapshot.scale = readScale(index);
    if (index == m_heldIndex)
        m_heldScale = snapshot.scale;
    const auto failed = std::find_if(std::begin(codes), std::end(codes), [](int32_t code) { return code != VELMOR_OK; });
    if (failed != std::end(codes))
        snapshot.failure = UnitReadings::resultText(*failed);
    emit unitSelected(snapshot);
}

void UnitWorker::pollStatus()
{
    if (m_heldIndex == 0)
        return;
    if (unitState(m_heldIndex, true).heldUnitAway != 0) {
        pollUnits();
        return;
    }
    const int index = m_heldIndex;
    auto status = velmor::sized<VelmorMotorStatus>();
    const int32_t code = timed(QStringLiteral("velmorGetMotorStatus(%1)").arg(index), true,
                               [&] { return velmorGetMotorStatus(index, &status); });
    if (code == VELMOR_OK) {
        emit statusRead(index, UnitReadings::status(status));
        m_statusTimer->setInterval(s_statusIntervalMs);
        return;
    }
    emit statusFailed(index, UnitReadings::resultText(code));
    // Its handle closed by a failure, the unit may have been taken by another program before the
    // next call opened it again.
    const QString reason = code == VELMOR_ERROR_OPEN_FAILED ? whereabouts(index, m_heldSerial) : QString();
    if (!reason.isEmpty()) {
        loseHeldUnit(reason);
        return;
    }
    // A unit that stops answering is asked again after a pause, not at the polling rate.
    m_statusTimer->setInterval(s_listIntervalMs);
}

void UnitWorker::perform(const UnitAction &action)
{
    const UnitCall call(action);
    if (!isHeldHere(action.index, action.serial)) {
        const QString reason = whereabouts(action.index, action.serial);
        emit actionNotSent(action, call.text(), reason.isEmpty() ? tr("is not selected") : reason);
        return;
    }
    const int32_t code = timed(call.text(), false, [&] { return call.run(); });
    emit actionDone(action, call.text(), code == VELMOR_OK ? QString() : failure(action, call, code));
}

// The code in words, and why: where the unit is when the call did not reach it, else the
// values its ranges rule out.
QString UnitWorker::failure(const UnitAction &action, const UnitCall &call, int32_t code)
{
    const QString text = UnitReadings::resultWithCode(code);
    const bool unreachable = code == VELMOR_ERROR_OPEN_FAILED || code == VELMOR_ERROR_DEVICE_INDEX;
    const QString reason = unreachable ? tr("unit %1 (%2) %3")
                                             .arg(action.index)
                                             .arg(action.serial, failureReason(code, action.index, action.serial))
                                       : travelRefusal(action, code);
    const QString why = reason.isEmpty() && !unreachable ? refusal(call) : reason;
    return why.isEmpty() ? text : text + QStringLiteral(": ") + why;
}

// A move the library refused for the travel limits of the unit's loaded profile.
QString UnitWorker::travelRefusal(const UnitAction &action, int32_t code) const
{
    const bool isMove = action.intent == UnitAction::Intent::MoveBy || action.intent == UnitAction::Intent::MoveTo;
    if (code != VELMOR_ERROR_ARGUMENT || !isMove || !m_heldScale.hasLimits())
        return QString();
    return tr("the target lies beyond the travel limits of the unit's profile, %1").arg(m_heldScale.travelText());
}

void UnitWorker::check(const UnitAction &action)
{
    const UnitCall call(action);
    QString reasons;
    // Asked at every edit of a field: logged with the polls.
    if (call.isRangeRuled())
        timed(call.refusalText(), true, [&] { return call.explainRefusal(&reasons); });
    emit actionChecked(action, reasons);
}

void UnitWorker::performProfile(const ProfileRequest &request)
{
    ProfileOutcome outcome;
    outcome.request = request;
    if (!isHeldHere(request.index, request.serial)) {
        const QString reason = whereabouts(request.index, request.serial);
        outcome.notSent = true;
        outcome.failure = tr("unit %1 (%2) %3").arg(request.index).arg(request.serial, reason.isEmpty() ? tr("is not selected") : reason);
        emit profileDone(outcome);
        return;
    }
    if (request.kind == ProfileRequest::Kind::Save) {
        saveProfile(&outcome);
        emit profileDone(outcome);
        return;
    }
    QFile file(request.path);
    if (!file.open(QIODevice::ReadOnly)) {
        outcome.failure = tr("%1 cannot be read: %2").arg(request.path, file.errorString());
        emit profileDone(outcome);
        return;
    }
    const QByteArray profile = file.readAll();
    if (request.kind == ProfileRequest::Kind::Load)
        applyProfile(&outcome, profile);
    else
        compareProfile(&outcome, profile);
    emit profileDone(outcome);
}

void UnitWorker::saveProfile(ProfileOutcome *outcome)
{
    const int index = outcome->request.index;
    QByteArray profile;
    bool cut = false;
    outcome->code = timed(QStringLiteral("velmorReadProfile(%1)").arg(index), false, [&] {
        return textOf([index](char *json, uint32_t capacity, uint32_t *needed) {
            return velmorReadProfile(index, json, capacity, needed);
        }, &profile, &cut);
    });
    if (outcome->code != VELMOR_OK) {
        outcome->failure = tr("the unit's settings were not read: %1").arg(UnitReadings::resultWithCode(outcome->code));
        return;
    }
    if (cut) {
        outcome->failure = tr("the unit's profile is longer than the application reads");
        return;
    }
    QSaveFile file(outcome->request.path);
    if (!file.open(QIODevice::WriteOnly) || file.write(profile) != profile.size() || !file.commit())
        outcome->failure = tr("%1 cannot be written: %2").arg(outcome->request.path, file.errorString());
}

void UnitWorker::applyProfile(ProfileOutcome *outcome, const QByteArray &profile)
{
    const int index = outcome->request.index;
    const uint32_t flags = outcome->request.fix ? VELMOR_PROFILE_FIX : 0u;
    QByteArray report;
    outcome->code = timed(QStringLiteral("velmorApplyProfile(%1, \"%2\"%3)")
                              .arg(index).arg(outcome->request.path,
                                              outcome->request.fix ? QStringLiteral(", VELMOR_PROFILE_FIX") : QString()),
                          false, [&] {
        return textOf([&](char *text, uint32_t capacity, uint32_t *needed) {
            return velmorApplyProfile(index, profile.constData(), flags, text, capacity, needed);
        }, &report);
    });
    UnitReadings::fillOutcome(report, outcome);
    if (outcome->failure.isEmpty() && outcome->code != VELMOR_OK)
        outcome->failure = tr("not every setting was applied: %1").arg(UnitReadings::resultWithCode(outcome->code));
    // The forms show what the unit holds now.
    if (!outcome->rows.isEmpty())
        readSettings(index);
}

void UnitWorker::compareProfile(ProfileOutcome *outcome, const QByteArray &profile)
{
    const int index = outcome->request.index;
    QByteArray report;
    outcome->code = timed(QStringLiteral("velmorDiffProfile(%1, \"%2\")").arg(index).arg(outcome->request.path), false, [&] {
        return textOf([&](char *text, uint32_t capacity, uint32_t *needed) {
            return velmorDiffProfile(index, profile.constData(), text, capacity, needed);
        }, &report);
    });
    UnitReadings::fillOutcome(report, outcome);
    if (outcome->failure.isEmpty() && outcome->code != VELMOR_OK)
        outcome->failure = tr("the unit's settings were not read: %1").arg(UnitReadings::resultWithCode(outcome->code));
}

QString UnitWorker::refusal(const UnitCall &call)
{
    if (!call.isRangeRuled())
        return QString();
    QString reasons;
    timed(call.refusalText(), false, [&] { return call.explainRefusal(&reasons); });
    return reasons;
}

bool UnitWorker::isHeldHere(int index, const QString &serial)
{
    return index != 0 && index == m_heldIndex && serial.compare(m_heldSerial, Qt::CaseInsensitive) == 0
        && unitState(index, true).heldUnitAway == 0;
}

// Why the unit with this serial number cannot be reached at `index`, completing "unit 2
// (JXah00102) ..."; empty when it is listed there and free.
QString UnitWorker::whereabouts(int index, const QString &serial)
{
    const QByteArray serialBytes = serial.toLatin1();
    int32_t listedAt = 0;
    const int32_t code = timed(QStringLiteral("velmorWhereIsUnit(\"%1\")").arg(serial), false,
                               [&] { return velmorWhereIsUnit(serialBytes.constData(), &listedAt); });
    if (code == VELMOR_ERROR_SERIAL_NOT_FOUND)
        return tr("was unplugged (it is no longer listed)");
    if (code != VELMOR_OK)
        return tr("cannot be found: %1").arg(UnitReadings::resultWithCode(code));
    if (unitState(listedAt, false).openElsewhere != 0)
        return tr("is busy in another program");
    if (listedAt != index)
        return tr("is now listed at index %1: the units changed since the request").arg(listedAt);
    return QString();
}

QString UnitWorker::failureReason(int32_t code, int index, const QString &serial)
{
    const QString reason = whereabouts(index, serial);
    if (!reason.isEmpty())
        return reason;
    return tr("could not be reached: %1").arg(UnitReadings::resultWithCode(code));
}

VelmorUnitState UnitWorker::unitState(int index, bool isPoll)
{
    auto state = velmor::sized<VelmorUnitState>();
    timed(QStringLiteral("velmorGetUnitState(%1)").arg(index), isPoll, [&] { return velmorGetUnitState(index, &state); });
    return state;
}
