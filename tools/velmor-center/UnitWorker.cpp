#include "UnitWorker.h"

#include "UnitCall.h"
#include "UnitReadings.h"
#include "VelmorLib.hpp"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <iterator>

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
                                       : refusal(call);
    return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
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
