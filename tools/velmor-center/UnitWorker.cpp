#include "UnitWorker.h"

#include "VelmorLibExtras.h"

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QTimer>

namespace {

QString chipName(uint32_t chipType)
{
    switch (chipType) {
    case 5: return QStringLiteral("FT232R");
    case 6: return QStringLiteral("FT2232H");
    case 7: return QStringLiteral("FT4232H");
    case 8: return QStringLiteral("FT232H");
    case 9: return QStringLiteral("X-series");
    default: return QStringLiteral("chip %1").arg(chipType);
    }
}

template <typename Record>
Record sized()
{
    Record record{};
    record.size = sizeof(Record);
    return record;
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
    connect(m_listTimer, &QTimer::timeout, this, &UnitWorker::pollDeviceCount);
    m_statusTimer = new QTimer(this);
    connect(m_statusTimer, &QTimer::timeout, this, &UnitWorker::pollStatus);
    timed(QStringLiteral("initialise()"), false, [] { return initialise(); });
    pollDeviceCount();
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
    record.milliseconds = clock.nsecsElapsed() / 1e6;
    record.isPoll = isPoll;
    emit callMade(record);
    return code;
}

void UnitWorker::pollDeviceCount()
{
    if (unitCountChanged())
        listUnits();
}

bool UnitWorker::unitCountChanged()
{
    int32_t count = 0;
    const int32_t code = timed(QStringLiteral("getDeviceCount()"), true, [&] { return getDeviceCount(&count); });
    return code == VELMOR_OK && (!m_listed || count != m_units.size());
}

void UnitWorker::listUnits()
{
    // A held unit keeps its interface open: reading the list through a new index would fail to
    // open it. Let it go while listing, and take it up again wherever it is now.
    const int heldIndex = m_heldIndex;
    const QString heldSerial = m_heldSerial;
    releaseHeld();
    // The library keeps what it learnt of a unit (its firmware version) by index: once units
    // have come or gone, an index may name another unit, which that knowledge would refuse
    // (code 31). initialise makes every index run its start-up handshake again.
    if (m_listed)
        timed(QStringLiteral("initialise()"), false, [] { return initialise(); });
    int32_t count = 0;
    timed(QStringLiteral("getDeviceCount()"), false, [&] { return getDeviceCount(&count); });
    UnitEntries units;
    for (int index = 1; index <= count; ++index)
        units.append(readEntry(index));
    m_units = units;
    m_listed = true;
    emit unitsListed(units);
    if (heldIndex != 0)
        followHeldUnit(heldIndex, heldSerial);
}

UnitEntry UnitWorker::readEntry(int index)
{
    auto info = sized<VelmorUnitInfo>();
    UnitEntry entry;
    entry.index = index;
    entry.infoCode = timed(QStringLiteral("velmorGetUnitInfo(%1)").arg(index), false,
                           [&] { return velmorGetUnitInfo(index, &info); });
    if (entry.infoCode != VELMOR_OK)
        return entry;
    entry.serial = QString::fromLatin1(info.serialNumber);
    entry.chip = chipName(info.chipType);
    entry.hardware = QStringLiteral("%1.%2").arg(info.hardwareMajor).arg(info.hardwareMinor);
    entry.firmware = QStringLiteral("%1.%2").arg(info.firmwareMajor).arg(info.firmwareMinor);
    return entry;
}

// Units before the held one may have come or gone: follow it by its serial number.
void UnitWorker::followHeldUnit(int heldIndex, const QString &heldSerial)
{
    for (const UnitEntry &entry : qAsConst(m_units)) {
        if (entry.infoCode == VELMOR_OK && entry.serial == heldSerial) {
            select(entry.index);
            return;
        }
    }
    emit selectedUnitLost(heldIndex, heldSerial);
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

void UnitWorker::select(int index)
{
    releaseHeld();
    timed(QStringLiteral("velmorHoldUnit(%1)").arg(index), false, [&] { return velmorHoldUnit(index); });
    m_heldIndex = index;
    m_heldSerial = index <= m_units.size() ? m_units.at(index - 1).serial : QString();
    readSettings(index);
    pollStatus();
    m_statusTimer->start(s_statusIntervalMs);
}

void UnitWorker::readSettings(int index)
{
    UnitSnapshot snapshot;
    snapshot.index = index;
    snapshot.limits = sized<VelmorLimits>();
    snapshot.motion = sized<VelmorMotionSettings>();
    snapshot.motor = sized<VelmorMotorSettings>();
    snapshot.move = sized<VelmorMoveSettings>();
    const int32_t codes[] = {
        timed(QStringLiteral("velmorGetLimits(%1)").arg(index), false,
              [&] { return velmorGetLimits(index, &snapshot.limits); }),
        timed(QStringLiteral("velmorReadMotionSettings(%1)").arg(index), false,
              [&] { return velmorReadMotionSettings(index, &snapshot.motion); }),
        timed(QStringLiteral("velmorReadMotorSettings(%1)").arg(index), false,
              [&] { return velmorReadMotorSettings(index, &snapshot.motor); }),
        timed(QStringLiteral("velmorReadMoveSettings(%1)").arg(index), false,
              [&] { return velmorReadMoveSettings(index, &snapshot.move); }),
    };
    for (int32_t code : codes) {
        if (code != VELMOR_OK) {
            snapshot.code = code;
            break;
        }
    }
    emit unitSelected(snapshot);
}

void UnitWorker::pollStatus()
{
    if (m_heldIndex == 0)
        return;
    // When units come or go the held index may name another unit: follow it by its serial first.
    if (unitCountChanged()) {
        m_statusTimer->stop();
        listUnits();
        return;
    }
    const int index = m_heldIndex;
    auto status = sized<VelmorMotorStatus>();
    const int32_t code = timed(QStringLiteral("velmorGetMotorStatus(%1)").arg(index), true,
                               [&] { return velmorGetMotorStatus(index, &status); });
    if (code == VELMOR_OK) {
        emit statusRead(index, status);
        return;
    }
    emit statusFailed(index, code);
    // A unit that stops answering may have gone: look at the bus again before polling on.
    m_statusTimer->stop();
    listUnits();
}

void UnitWorker::perform(const UnitAction &action)
{
    const int32_t code = timed(action.call, false, action.perform);
    emit actionDone(action, code);
}
