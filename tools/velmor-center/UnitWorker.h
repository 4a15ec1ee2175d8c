// Makes every library call of the application, on one thread of its own; the window posts
// requests and hears the results through queued signals.
#ifndef VELMORCENTER_UNITWORKER_H
#define VELMORCENTER_UNITWORKER_H

#include "CallRecord.h"
#include "UnitAction.h"
#include "UnitEntry.h"
#include "UnitSnapshot.h"

#include <QMutex>
#include <QObject>

#include <deque>
#include <functional>

class QTimer;

class UnitWorker : public QObject
{
    Q_OBJECT
public:
    using Job = std::function<void(UnitWorker &)>;

    static constexpr int s_listIntervalMs = 1000;
    static constexpr int s_statusIntervalMs = 80;

    explicit UnitWorker(QObject *parent = nullptr);

    // Thread-safe: queue a job behind the others, or ahead of all of them.
    void post(Job job);
    void postFirst(Job job);

    // These run on the worker thread, through post().
    void start();
    void select(int index);
    void perform(const UnitAction &action);
    void readSettings(int index);
    // Blocking from the window at exit: releases every held unit and stops the polls.
    Q_INVOKABLE void shutdown();

signals:
    void callMade(const CallRecord &record);
    void unitsListed(const UnitEntries &units);
    void unitSelected(const UnitSnapshot &snapshot);
    void statusRead(int index, const VelmorMotorStatus &status);
    void statusFailed(int index, int code);
    void selectedUnitLost(int index, const QString &serial);
    void actionDone(const UnitAction &action, int code);

private:
    void runNext();
    void pollDeviceCount();
    void pollStatus();
    bool unitCountChanged();
    void listUnits();
    UnitEntry readEntry(int index);
    void followHeldUnit(int heldIndex, const QString &heldSerial);
    void releaseHeld();
    int32_t timed(const QString &call, bool isPoll, const std::function<int32_t()> &function);

    QMutex m_mutex;
    std::deque<Job> m_jobs;
    QTimer *m_listTimer = nullptr;
    QTimer *m_statusTimer = nullptr;
    UnitEntries m_units;
    bool m_listed = false;
    int m_heldIndex = 0;
    QString m_heldSerial;
};

#endif
