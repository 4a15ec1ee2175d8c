#include "MainWindow.h"

#include "LogPane.h"
#include "MotionPanel.h"
#include "ProfileDialog.h"
#include "SettingsPanel.h"
#include "StatusPanel.h"
#include "UnitListModel.h"
#include "UnitWorker.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

void registerTypes()
{
    qRegisterMetaType<CallRecord>();
    qRegisterMetaType<UnitEntries>();
    qRegisterMetaType<UnitSnapshot>();
    qRegisterMetaType<UnitStatus>();
    qRegisterMetaType<UnitAction>();
    qRegisterMetaType<UnitSharing>();
    qRegisterMetaType<ProfileRequest>();
    qRegisterMetaType<ProfileOutcome>();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_worker(new UnitWorker)
    , m_units(new UnitListModel(this))
{
    registerTypes();
    setWindowTitle(tr("Velmor Control Center"));
    buildWindow();
    buildFileMenu();
    connectWorker();
    connectMotion();
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
    m_worker->post([](UnitWorker &worker) { worker.start(); });
}

MainWindow::~MainWindow()
{
    // Held units are released before the library goes away with the process.
    QMetaObject::invokeMethod(m_worker, "shutdown", Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void MainWindow::buildWindow()
{
    m_status = new StatusPanel;
    m_motion = new MotionPanel;
    m_settings = new SettingsPanel;
    m_log = new LogPane;

    auto *top = new QSplitter(Qt::Horizontal);
    top->addWidget(buildUnitsPane());
    top->addWidget(m_status);
    top->addWidget(m_motion);
    top->setSizes({300, 560, 420});

    auto *bottom = new QSplitter(Qt::Horizontal);
    bottom->addWidget(m_settings);
    bottom->addWidget(m_log);
    bottom->setSizes({760, 600});

    auto *main = new QSplitter(Qt::Vertical);
    main->addWidget(top);
    main->addWidget(bottom);
    main->setSizes({420, 380});
    setCentralWidget(main);
    m_sharing = new QLabel;
    m_sharing->setObjectName(QStringLiteral("sharing"));
    statusBar()->addPermanentWidget(m_sharing);
    statusBar()->showMessage(tr("Looking for units…"));
    resize(1360, 820);
}

void MainWindow::buildFileMenu()
{
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    m_fileMenu->setObjectName(QStringLiteral("fileMenu"));
    const struct { const char *name; QString text; QString tip; ProfileRequest::Kind kind; } entries[] = {
        {"saveSettings", tr("&Save settings…"), tr("Write the selected unit's settings to a file"), ProfileRequest::Kind::Save},
        {"loadSettings", tr("&Load settings…"), tr("Write a file's settings to the selected unit"), ProfileRequest::Kind::Load},
        {"compareSettings", tr("&Compare with file…"), tr("Show the settings of a file that the selected unit does not hold"),
         ProfileRequest::Kind::Compare},
    };
    for (const auto &entry : entries) {
        QAction *action = m_fileMenu->addAction(entry.text);
        action->setObjectName(QLatin1String(entry.name));
        action->setStatusTip(entry.tip);
        const ProfileRequest::Kind kind = entry.kind;
        connect(action, &QAction::triggered, this, [this, kind] { requestProfile(kind); });
        m_unitActions.append(action);
    }
    m_unitActions.at(0)->setShortcut(QKeySequence::Save);
    m_unitActions.at(1)->setShortcut(QKeySequence::Open);
    m_fileMenu->addSeparator();
    QAction *quit = m_fileMenu->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);
    setUnitActionsEnabled(false);

    m_profileDialog = new ProfileDialog(this);
    connect(m_profileDialog, &ProfileDialog::fixRequested, this, &MainWindow::postProfile);
}

void MainWindow::setUnitActionsEnabled(bool enabled)
{
    for (QAction *action : qAsConst(m_unitActions))
        action->setEnabled(enabled);
}

QString MainWindow::chooseFile(ProfileRequest::Kind kind)
{
    const QString folder = m_profileFolder.isEmpty() ? QDir::homePath() : m_profileFolder;
    const QString filter = tr("Unit profiles (*.json);;All files (*)");
    QString path;
    if (kind == ProfileRequest::Kind::Save) {
        path = QFileDialog::getSaveFileName(this, tr("Save the settings of unit %1").arg(m_selected),
                                            QDir(folder).filePath(m_selectedSerial + QStringLiteral(".json")), filter);
    } else {
        const QString title = kind == ProfileRequest::Kind::Load ? tr("Load settings into unit %1").arg(m_selected)
                                                                 : tr("Compare unit %1 with a file").arg(m_selected);
        path = QFileDialog::getOpenFileName(this, title, folder, filter);
    }
    if (!path.isEmpty())
        m_profileFolder = QFileInfo(path).absolutePath();
    return path;
}

void MainWindow::requestProfile(ProfileRequest::Kind kind)
{
    if (m_selected == 0)
        return;
    ProfileRequest request;
    request.kind = kind;
    // The request goes to the unit selected when the file was asked for.
    request.index = m_selected;
    request.serial = m_selectedSerial;
    request.path = chooseFile(kind);
    if (!request.path.isEmpty())
        postProfile(request);
}

void MainWindow::postProfile(const ProfileRequest &request)
{
    m_worker->post([request](UnitWorker &worker) { worker.performProfile(request); });
}

void MainWindow::onProfileDone(const ProfileOutcome &outcome)
{
    const ProfileRequest &request = outcome.request;
    QString text;
    switch (request.kind) {
    case ProfileRequest::Kind::Save:
        text = outcome.failure.isEmpty() ? tr("settings of unit %1 saved to %2").arg(request.index).arg(request.path)
                                         : tr("settings of unit %1 not saved to %2").arg(request.index).arg(request.path);
        break;
    case ProfileRequest::Kind::Load:
        text = tr("%1 loaded into unit %2%3").arg(request.path).arg(request.index)
                   .arg(request.fix ? tr(", refused values fixed") : QString());
        break;
    case ProfileRequest::Kind::Compare:
        text = tr("unit %1 compared with %2: %n setting(s) differ", nullptr, outcome.rows.size())
                   .arg(request.index).arg(request.path);
        break;
    }
    if (!outcome.failure.isEmpty())
        text += QStringLiteral(": ") + outcome.failure;
    m_log->addNote(text);
    report(text);
    if (request.kind != ProfileRequest::Kind::Save && !outcome.notSent) {
        m_profileDialog->showOutcome(outcome);
        m_profileDialog->show();
        m_profileDialog->raise();
    }
    emit profileShown(outcome);
}

void MainWindow::onProfilesLoaded(const QString &summary, const QStringList &problems)
{
    m_log->addNote(summary);
    for (const QString &problem : problems)
        m_log->addNote(tr("unit profile left out: %1").arg(problem));
}

QWidget *MainWindow::buildUnitsPane()
{
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("units"));
    m_list->setModel(m_units);
    m_list->setSpacing(2);
    m_list->setMinimumWidth(280);
    auto *pane = new QWidget;
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("<b>Units</b>")));
    layout->addWidget(m_list);
    connect(m_list, &QListView::clicked, this, [this](const QModelIndex &index) {
        selectUnit(index.data(UnitListModel::IndexRole).toInt());
    });
    return pane;
}

void MainWindow::connectWorker()
{
    connect(m_worker, &UnitWorker::callMade, m_log, &LogPane::addCall);
    connect(m_worker, &UnitWorker::unitsListed, this, &MainWindow::onUnitsListed);
    connect(m_worker, &UnitWorker::unitSelected, this, &MainWindow::onUnitSelected);
    connect(m_worker, &UnitWorker::statusRead, this, &MainWindow::onStatusRead);
    connect(m_worker, &UnitWorker::statusFailed, this, [this](int, const QString &failure) { m_status->showFailure(failure); });
    connect(m_worker, &UnitWorker::selectedUnitLost, this, &MainWindow::onUnitLost);
    connect(m_worker, &UnitWorker::actionDone, this, &MainWindow::onActionDone);
    connect(m_worker, &UnitWorker::actionNotSent, this, &MainWindow::onActionNotSent);
    connect(m_worker, &UnitWorker::sharingChanged, this, &MainWindow::onSharingChanged);
    connect(m_worker, &UnitWorker::profileDone, this, &MainWindow::onProfileDone);
    connect(m_worker, &UnitWorker::profilesLoaded, this, &MainWindow::onProfilesLoaded);
    connect(m_worker, &UnitWorker::actionChecked, m_settings, &SettingsPanel::showCheck);
    connect(m_settings, &SettingsPanel::applyRequested, this, &MainWindow::onApply);
    connect(m_settings, &SettingsPanel::checkRequested, this, [this](const UnitAction &action) {
        m_worker->post([action](UnitWorker &worker) { worker.check(action); });
    });
}

void MainWindow::connectMotion()
{
    connect(m_motion, &MotionPanel::motorOnRequested, this, [this] { post(UnitAction::motorOn(m_selected)); });
    connect(m_motion, &MotionPanel::motorOffRequested, this, [this] { post(UnitAction::motorOff(m_selected)); });
    connect(m_motion, &MotionPanel::moveByRequested, this, [this](int steps) { post(UnitAction::moveBy(m_selected, steps)); });
    connect(m_motion, &MotionPanel::moveToRequested, this,
            [this](int position) { post(UnitAction::moveTo(m_selected, position)); });
    connect(m_motion, &MotionPanel::homeRequested, this, [this] { post(UnitAction::home(m_selected)); });
    connect(m_motion, &MotionPanel::zeroRequested, this, [this] { post(UnitAction::zero(m_selected)); });
    connect(m_motion, &MotionPanel::stopRequested, this, &MainWindow::stop);
}

// Each request names the unit it was made for, as the window shows it: the worker sends it to
// that unit only.
void MainWindow::post(const UnitAction &action)
{
    if (action.index == 0)
        return;
    UnitAction request = action;
    request.serial = serialOf(action.index);
    m_worker->post([request](UnitWorker &worker) { worker.perform(request); });
}

QString MainWindow::serialOf(int index) const
{
    if (index == m_selected)
        return m_selectedSerial;
    const UnitEntry *unit = m_units->unitAt(index);
    return unit ? unit->serial : QString();
}

// Stop goes ahead of everything queued, and is sent even with no unit selected: to the last one.
void MainWindow::stop()
{
    const int i = m_selected;
    if (i == 0) {
        report(tr("no unit selected to stop"));
        return;
    }
    UnitAction action = UnitAction::stop(i);
    action.serial = m_selectedSerial;
    m_worker->postFirst([action](UnitWorker &worker) { worker.perform(action); });
}

void MainWindow::selectUnit(int index)
{
    const UnitEntry *unit = m_units->unitAt(index);
    if (!unit || index == m_selected)
        return;
    m_selected = index;
    m_selectedSerial = unit->serial;
    m_list->setCurrentIndex(m_units->index(m_units->rowOfUnit(index)));
    m_status->showUnit(UnitListModel::describe(*unit).replace(QLatin1Char('\n'), QLatin1Char(',')).simplified());
    m_settings->clear();
    setUnitActionsEnabled(false);
    m_motion->setUnitAvailable(true);
    report(tr("unit %1 (%2) selected").arg(index).arg(unit->serial));
    const QString serial = unit->serial;
    m_worker->post([index, serial](UnitWorker &worker) { worker.select(index, serial); });
}

void MainWindow::onUnitsListed(const UnitEntries &units)
{
    m_units->setUnits(units);
    if (m_selected != 0)
        m_list->setCurrentIndex(m_units->index(m_units->rowOfUnit(m_selected)));
    report(units.isEmpty() ? tr("no units attached") : tr("%n unit(s) attached", nullptr, units.size()));
    emit unitsShown(units.size());
}

void MainWindow::onUnitSelected(const UnitSnapshot &snapshot)
{
    if (snapshot.index != m_selected) {
        // The worker followed the held unit to its new index after units before it came or went.
        m_selected = snapshot.index;
        m_list->setCurrentIndex(m_units->index(m_units->rowOfUnit(m_selected)));
    }
    if (!snapshot.failure.isEmpty()) {
        report(tr("settings of unit %1 not read: %2").arg(snapshot.index).arg(snapshot.failure));
        return;
    }
    m_settings->load(snapshot);
    m_status->setScale(snapshot.scale);
    m_motion->setScale(snapshot.scale);
    setUnitActionsEnabled(true);
    emit settingsShown(snapshot.index);
}

void MainWindow::onStatusRead(int index, const UnitStatus &status)
{
    if (index != m_selected)
        return;
    m_status->showStatus(status);
    emit statusShown(index);
}

void MainWindow::onUnitLost(int index, const QString &serial, const QString &reason)
{
    const QString text = tr("unit %1 (%2) %3").arg(index).arg(serial, reason);
    m_log->addNote(text);
    report(text);
    if (index != m_selected)
        return;
    m_selected = 0;
    m_selectedSerial.clear();
    m_status->clear(text);
    m_settings->clear();
    setUnitActionsEnabled(false);
    m_motion->setUnitAvailable(false);
}

void MainWindow::onActionDone(const UnitAction &action, const QString &call, const QString &failure)
{
    if (!failure.isEmpty()) {
        const QString text = tr("%1 refused: %2").arg(call, failure);
        m_log->addNote(text);
        report(text);
        return;
    }
    m_log->addNote(action.words);
    report(action.words);
    if (action.index != m_selected)
        return;
    if (action.intent == UnitAction::Intent::MotorOn)
        m_status->setMotor(StatusPanel::Motor::On);
    else if (action.intent == UnitAction::Intent::MotorOff)
        m_status->setMotor(StatusPanel::Motor::Off);
    else if (!action.setting.isEmpty())
        m_settings->markApplied(action.setting);
}

void MainWindow::onActionNotSent(const UnitAction &action, const QString &call, const QString &reason)
{
    const QString text = tr("%1 not sent: unit %2 (%3) %4").arg(call).arg(action.index).arg(action.serial, reason);
    m_log->addNote(text);
    report(text);
}

// Users need to know whether the selected unit, which this application holds open, is kept
// from other programs.
void MainWindow::onSharingChanged(const UnitSharing &sharing)
{
    if (sharing.throughVelmord) {
        m_sharing->setText(tr("shared through velmord"));
        m_sharing->setToolTip(tr("velmord at %1 owns the units and serves %n program(s), this one included: other "
                                 "programs use the units, the selected one too, at the same time",
                                 nullptr, sharing.programs)
                                  .arg(sharing.socket));
    } else if (sharing.velmordRuns) {
        m_sharing->setText(tr("velmord runs; selected unit held here"));
        m_sharing->setToolTip(tr("This application held the selected unit before its calls went to velmord at %1, "
                                 "so other programs cannot open it: select the unit again to share it through "
                                 "velmord.")
                                  .arg(sharing.socket));
    } else {
        m_sharing->setText(tr("units opened directly"));
        m_sharing->setToolTip(tr("No velmord runs: this application holds the selected unit open, and other "
                                 "programs cannot open it meanwhile. To share the units between programs, start "
                                 "velmord (sudo systemctl enable --now velmord.socket)."));
    }
}

void MainWindow::onApply(const QVector<UnitAction> &actions)
{
    if (actions.isEmpty())
        report(tr("no setting changed"));
    for (const UnitAction &action : actions)
        post(action);
}

void MainWindow::report(const QString &text)
{
    statusBar()->showMessage(text);
}
