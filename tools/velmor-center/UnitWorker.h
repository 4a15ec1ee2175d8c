// Makes every library call of the application, on one thread of its own, and is the one part
// of it that knows the library: the window posts requests as intents (UnitAction) and hears the
// results, in words, through queued signals.
//
// The selected unit is held by its serial number, which pins its index to it in the library: a
// call on that index reaches that unit or none. When units before it come or go the worker
// follows it to its new index; a request made for it at its old index is not sent.
//
// Where velmord runs, the library sends the calls to it, and a unit held through velmord stays
// open to other programs. The worker looks for velmord with every listing and says so.
#ifndef VELMORCENTER_UNITWORKER_H
#define VELMORCENTER_UNITWORKER_H

#include "CallRecord.h"
#include "ProfileRequest.h"
#include "UnitAction.h"
#include "UnitEntry.h"
#include "UnitScale.h"
#include "UnitSharing.h"
#include "UnitSnapshot.h"
#include "UnitStatus.h"

#include <QMutex>
#include <QObject>

#include <deque>
#include <functional>

class QTimer;
class UnitCall;
struct VelmorUnitState;

class UnitWorker : public QObject
{
    Q_OBJECT
public:
    using Job = std::function<void(UnitWorker &)>;

    static constexpr int s_listIntervalMs = 1000;
    static constexpr int s_statusIntervalMs = 80;
    // The library addresses no unit beyond.
    static constexpr int s_highestIndex = 99;

    explicit UnitWorker(QObject *parent = nullptr);

    // Thread-safe: queue a job behind the others, or ahead of all of them.
    void post(Job job);
    void postFirst(Job job);

    // These run on the worker thread, through post().
    void start();
    // Holds the unit with this serial number (the list showed it at `index`) wherever it is
    // listed now.
    void select(int index, const QString &serial);
    // Sends the action only to the unit it was made for, held at the index it was made at.
    void perform(const UnitAction &action);
    void readSettings(int index);
    // Asks the library whether the unit takes the settings action's values, sending nothing.
    void check(const UnitAction &action);
    // Saves, loads or compares the profile of the unit it was made for.
    void performProfile(const ProfileRequest &request);
    // Blocking from the window at exit: releases every held unit and stops the polls.
    Q_INVOKABLE void shutdown();

signals:
    void callMade(const CallRecord &record);
    void unitsListed(const UnitEntries &units);
    void unitSelected(const UnitSnapshot &snapshot);
    void statusRead(int index, const UnitStatus &status);
    // `failure`: the library's words for what went wrong.
    void statusFailed(int index, const QString &failure);
    // The selected unit cannot be used (any more); `reason` completes "unit 2 (JXah00102) ...":
    // "was unplugged", "is busy in another program", ...
    void selectedUnitLost(int index, const QString &serial, const QString &reason);
    // `call` as the log names it; `failure` empty when the call worked, else what went wrong and
    // why: "writing the motion configuration failed (code 7): 2000 steps/s at step mode 5 is ...".
    void actionDone(const UnitAction &action, const QString &call, const QString &failure);
    // The action was not sent: its unit is not the one held at its index; the reason as above.
    void actionNotSent(const UnitAction &action, const QString &call, const QString &reason);
    // velmord started or stopped, the application's calls went to it or came back, or the
    // programs it serves changed.
    void sharingChanged(const UnitSharing &sharing);
    // The default profile folders were read at start: `summary` names the files taken, each
    // entry of `problems` a file left out and why.
    void profilesLoaded(const QString &summary, const QStringList &problems);
    // `reasons`: the library's words for the values the unit refuses, empty when it takes them.
    void actionChecked(const UnitAction &action, const QString &reasons);
    void profileDone(const ProfileOutcome &outcome);

private:
    void runNext();
    void loadProfiles();
    UnitScale readScale(int index);
    void saveProfile(ProfileOutcome *outcome);
    void applyProfile(ProfileOutcome *outcome, const QByteArray &profile);
    void compareProfile(ProfileOutcome *outcome, const QByteArray &profile);
    QString travelRefusal(const UnitAction &action, int32_t code) const;
    // Emits sharingChanged when the sharing changed since the last look, or `always`.
    void checkSharing(bool always = false);
    void pollUnits();
    void pollStatus();
    bool readListing(UnitEntries *listed);
    bool listingChanged(const UnitEntries &listed) const;
    void showUnits(const UnitEntries &listed);
    UnitEntry withDetails(const UnitEntry &listed);
    void readInfo(UnitEntry &entry);
    void trackHeldUnit();
    void loseHeldUnit(const QString &reason);
    void releaseHeld();
    bool isHeldHere(int index, const QString &serial);
    QString whereabouts(int index, const QString &serial);
    QString failureReason(int32_t code, int index, const QString &serial);
    QString failure(const UnitAction &action, const UnitCall &call, int32_t code);
    QString refusal(const UnitCall &call);
    VelmorUnitState unitState(int index, bool isPoll);
    int32_t timed(const QString &call, bool isPoll, const std::function<int32_t()> &function);

    QMutex m_mutex;
    std::deque<Job> m_jobs;
    QTimer *m_listTimer = nullptr;
    QTimer *m_statusTimer = nullptr;
    UnitEntries m_units;
    bool m_listed = false;
    int m_heldIndex = 0;
    QString m_heldSerial;
    UnitScale m_heldScale;
    UnitSharing m_sharing;
    // The held unit is open in this process, not in velmord: it was held while no velmord took
    // the calls, or velmord stopped since (the library then holds it here again), and the
    // library keeps a process's own holds until they are released.
    bool m_heldHere = false;
};

#endif
