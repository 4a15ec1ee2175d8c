// The Control Center's window: the units, the selected unit's status, motion and settings, and
// the log of calls. It only posts requests to the worker and shows what comes back.
#ifndef VELMORCENTER_MAINWINDOW_H
#define VELMORCENTER_MAINWINDOW_H

#include "ProfileRequest.h"
#include "UnitAction.h"
#include "UnitEntry.h"
#include "UnitSharing.h"
#include "UnitSnapshot.h"
#include "UnitStatus.h"

#include <QMainWindow>
#include <QThread>

class LogPane;
class MotionPanel;
class ProfileDialog;
class QAction;
class QLabel;
class QListView;
class QMenu;
class SettingsPanel;
class StatusPanel;
class UnitListModel;
class UnitWorker;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void selectUnit(int index);
    int selectedUnit() const { return m_selected; }
    UnitWorker *worker() const { return m_worker; }
    UnitListModel *units() const { return m_units; }
    StatusPanel *statusPanel() const { return m_status; }
    SettingsPanel *settingsPanel() const { return m_settings; }
    LogPane *logPane() const { return m_log; }
    MotionPanel *motionPanel() const { return m_motion; }
    QMenu *fileMenu() const { return m_fileMenu; }
    ProfileDialog *profileDialog() const { return m_profileDialog; }

    void post(const UnitAction &action);
    void stop();

signals:
    void unitsShown(int count);
    void settingsShown(int index);
    void statusShown(int index);
    // A settings file was saved, loaded or compared (or could not be), and what came of it shown.
    void profileShown(const ProfileOutcome &outcome);

private:
    void buildWindow();
    QWidget *buildUnitsPane();
    void buildFileMenu();
    void setUnitActionsEnabled(bool enabled);
    // The file to save the selected unit's settings to, or to read settings from; "" when the
    // person chose none.
    QString chooseFile(ProfileRequest::Kind kind);
    void requestProfile(ProfileRequest::Kind kind);
    void postProfile(const ProfileRequest &request);
    void onProfileDone(const ProfileOutcome &outcome);
    void onProfilesLoaded(const QString &summary, const QStringList &problems);
    void connectWorker();
    void connectMotion();
    void onUnitsListed(const UnitEntries &units);
    void onUnitSelected(const UnitSnapshot &snapshot);
    void onStatusRead(int index, const UnitStatus &status);
    void onUnitLost(int index, const QString &serial, const QString &reason);
    void onActionDone(const UnitAction &action, const QString &call, const QString &failure);
    void onActionNotSent(const UnitAction &action, const QString &call, const QString &reason);
    void onSharingChanged(const UnitSharing &sharing);
    QString serialOf(int index) const;
    void onApply(const QVector<UnitAction> &actions);
    void report(const QString &text);

    QThread m_thread;
    UnitWorker *m_worker;
    UnitListModel *m_units;
    QListView *m_list = nullptr;
    StatusPanel *m_status = nullptr;
    MotionPanel *m_motion = nullptr;
    SettingsPanel *m_settings = nullptr;
    LogPane *m_log = nullptr;
    // Whether the units are shared through velmord, always in the status bar.
    QLabel *m_sharing = nullptr;
    QMenu *m_fileMenu = nullptr;
    QList<QAction *> m_unitActions;
    ProfileDialog *m_profileDialog = nullptr;
    QString m_profileFolder;
    int m_selected = 0;
    QString m_selectedSerial;
};

#endif
