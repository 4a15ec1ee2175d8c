// The Control Center's window driven in-process on the emulator, as a person at a bench would:
// the units appear, a selected unit shows its own settings, moves, stops and goes away, and
// another program takes a unit, or shares it through velmord. Each test starts on the bench
// setUpBench() builds.
#include "LogPane.h"
#include "MainWindow.h"
#include "PositionPlot.h"
#include "ProfileDialog.h"
#include "SettingsPanel.h"
#include "StatusPanel.h"
#include "UnitListModel.h"
#include "UnitWorker.h"

#include "VelmorEmulator.h"
#include "VelmorLib.hpp"

#include "firmware/MotorDriverCommandSet.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>

// D2XX as another program on the machine uses it, to hold a unit open.
extern "C" uint32_t FT_Open(int deviceNumber, void **handle);
extern "C" uint32_t FT_Close(void *handle);

namespace {

using VelmorEmulator::UnitOnBus;

// The bench's units by their place on it. The spare is unplugged from the start; plugged in,
// it is listed at its place again, which is unit B's index once B has gone.
enum BenchUnit : size_t { UnitA, Spare, UnitB, UnitC };

UnitOnBus unitOnBus(VelmorEmulator::Chip chip, const char *serial, uint16_t firmwareMajor)
{
    UnitOnBus unit;
    unit.chip = chip;
    unit.serial = serial;
    unit.firmware.firmwareMajor = firmwareMajor;
    unit.firmware.firmwareMinor = 0;
    return unit;
}

void setUpBench()
{
    using VelmorEmulator::Chip;
    VelmorEmulator::setBench(std::vector<UnitOnBus>{unitOnBus(Chip::FT232R, "JXah00101", 2),
                                                    unitOnBus(Chip::FT232R, "JXah001010007", 2),
                                                    unitOnBus(Chip::FT232R, "JXah00102", 3),
                                                    unitOnBus(Chip::FT232H, "JXbh01001", 1)});
    VelmorEmulator::unplug(Spare);
}

// Whether the emulated unit ever heard a move order.
bool heardAMove(size_t unit)
{
    const auto packets = VelmorEmulator::receivedPackets(unit);
    return std::any_of(packets.begin(), packets.end(), [](const VelmorEmulator::ReceivedPacket &packet) {
        return packet.hearing == VelmorEmulator::ReceivedPacket::Understood && !packet.raw
            && packet.commandCode == 0x20 + velmor_firmware::MotorDriverCommandSet::Move;
    });
}

// Listing opens every unit for the first time (a 600 ms start each), then a selection reads
// its records: generous, as the machine may be shared.
const int s_listedWithinMs = 20000;
const int s_shownWithinMs = 10000;

using velmor::sized;

} // namespace

class CenterWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsEveryUnitWithItsVersions();
    void selectedUnitShowsItsStoredSettings_data();
    void selectedUnitShowsItsStoredSettings();
    void moveByReachesTargetAndPlotGainsPoints();
    void stopOvertakesQueuedMoves();
    void valueOutsideRangeCannotBeApplied();
    void applyWritesOnlyWhatChanged();
    void refusedSettingIsLoggedWithWhy();
    void formRefusesWhatTheUnitWouldRefuse_data();
    void formRefusesWhatTheUnitWouldRefuse();
    void fileMenuSavesComparesAndLoadsSettings();
    void loadOffersToFixRefusedValues();
    void positionIsShownInTheProfilesUnit();
    void moveBeyondTheTravelLimitsIsRefused_data();
    void moveBeyondTheTravelLimitsIsRefused();
    void unpluggedUnitIsReportedAndDropped();
    void selectionFollowsItsUnitWhenAnEarlierOneGoes();
    void requestMadeBeforeUnitsChangedIsNotSent_data();
    void requestMadeBeforeUnitsChangedIsNotSent();
    void busyUnitIsShownBusyAndNeverMoved();
    void plotKeepsTheLastMinute_data();
    void plotKeepsTheLastMinute();
    void velmordIsShownAndSharesTheSelectedUnit();

private:
    void waitForUnits(int count);
    void selectAndWait(int index);
    QString rowText(int row) const { return m_window->units()->index(row).data().toString(); }
    // Triggers the File menu's action, answers its file dialog with `path` and waits for what
    // came of it.
    ProfileOutcome runFileAction(const char *action, const QString &path);
    QVector<QStringList> tableRows() const;
    // The outcome column of the report's row for `setting`.
    QString outcomeOf(const QString &setting) const;
    static void writeFile(const QString &path, const QByteArray &text);
    // A new window on the profiles of `folder`: unit 2 (JXah00102) in millimetres, 200 full
    // steps each, from -5 to 20 mm.
    void useProfiles(const QTemporaryDir &folder);
    // The worker makes no call between the two.
    void pauseWorker();
    void resumeWorker() { m_workerRelease.release(); }
    template <typename Widget>
    Widget *field(const char *name) const
    {
        auto *widget = m_window->findChild<Widget *>(QLatin1String(name));
        if (!widget)
            qFatal("no field %s", name);
        return widget;
    }

    MainWindow *m_window = nullptr;
    QSemaphore m_workerPaused;
    QSemaphore m_workerRelease;
};

void CenterWindowTest::init()
{
    setUpBench();
    m_window = new MainWindow;
    m_window->show();
}

void CenterWindowTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
    // The window's worker reads VELMOR_PROFILES when it starts: set until the window is gone.
    qputenv("VELMOR_PROFILES", "off");
}

void CenterWindowTest::waitForUnits(int count)
{
    QTRY_COMPARE_WITH_TIMEOUT(m_window->units()->rowCount(), count, s_listedWithinMs);
}

void CenterWindowTest::selectAndWait(int index)
{
    QSignalSpy settings(m_window, &MainWindow::settingsShown);
    QSignalSpy status(m_window, &MainWindow::statusShown);
    m_window->selectUnit(index);
    QTRY_VERIFY_WITH_TIMEOUT(!settings.isEmpty(), s_shownWithinMs);
    QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty(), s_shownWithinMs);
}

ProfileOutcome CenterWindowTest::runFileAction(const char *action, const QString &path)
{
    QSignalSpy shown(m_window, &MainWindow::profileShown);
    bool answered = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        // The name typed in, as a person would: selectFile() leaves a proposed name standing.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        else
            dialog->selectFile(path);
        // QFileDialog::accept(), which takes the typed name, through QDialog's public face.
        static_cast<QDialog *>(dialog)->accept();
        answered = true;
    });
    answer.start(20);
    field<QAction>(action)->trigger();
    if (!answered)
        qFatal("no file dialog for %s", action);
    if (!QTest::qWaitFor([&] { return !shown.isEmpty(); }, s_shownWithinMs))
        qFatal("nothing came of %s", action);
    const auto outcome = shown.first().at(0).value<ProfileOutcome>();
    if (outcome.request.path != path)
        qFatal("%s took %s", action, qPrintable(outcome.request.path));
    return outcome;
}

QVector<QStringList> CenterWindowTest::tableRows() const
{
    QTableWidget *table = m_window->profileDialog()->table();
    QVector<QStringList> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells.append(table->item(row, column)->text());
        rows.append(cells);
    }
    return rows;
}

QString CenterWindowTest::outcomeOf(const QString &setting) const
{
    for (const QStringList &row : tableRows()) {
        if (row.at(0) == setting)
            return row.at(1);
    }
    return QString();
}

void CenterWindowTest::writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

void CenterWindowTest::useProfiles(const QTemporaryDir &folder)
{
    QVERIFY(folder.isValid());
    writeFile(folder.filePath(QStringLiteral("JXah00102.json")),
              R"({"velmorlibProfile": 1, "serialNumber": "JXah00102", "name": "X stage", "unit": "mm", )"
              R"("stepsPerUnit": 200, "travel": {"min": -5, "max": 20}})");
    qputenv("VELMOR_PROFILES", QFile::encodeName(folder.path()));
    delete m_window;
    m_window = new MainWindow;
    m_window->show();
}

void CenterWindowTest::pauseWorker()
{
    m_window->worker()->post([this](UnitWorker &) {
        m_workerPaused.release();
        m_workerRelease.acquire();
    });
    QVERIFY(m_workerPaused.tryAcquire(1, s_shownWithinMs));
}

void CenterWindowTest::listsEveryUnitWithItsVersions()
{
    waitForUnits(3);
    const struct { int row; const char *serial; const char *chip; const char *versions; } expected[] = {
        {0, "JXah00101", "FT232R", "hardware 1.1, firmware 2.0"},
        {1, "JXah00102", "FT232R", "hardware 1.2, firmware 3.0"},
        {2, "JXbh01001", "FT232H", "hardware 10.1, firmware 1.0"},
    };
    for (const auto &unit : expected) {
        const QModelIndex index = m_window->units()->index(unit.row);
        const QString shown = index.data().toString();
        QCOMPARE(index.data(UnitListModel::IndexRole).toInt(), unit.row + 1);
        QCOMPARE(index.data(UnitListModel::SerialRole).toString(), QString::fromLatin1(unit.serial));
        QVERIFY2(shown.contains(QLatin1String(unit.chip)) && shown.contains(QLatin1String(unit.versions)), qPrintable(shown));
    }
}

void CenterWindowTest::selectedUnitShowsItsStoredSettings_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("hardware 1.1") << 1;
    QTest::newRow("hardware 1.2") << 2;
    QTest::newRow("hardware 10.1, no relay") << 3;
}

void CenterWindowTest::selectedUnitShowsItsStoredSettings()
{
    QFETCH(int, index);
    waitForUnits(3);
    selectAndWait(index);

    auto motion = sized<VelmorMotionSettings>();
    auto motor = sized<VelmorMotorSettings>();
    auto move = sized<VelmorMoveSettings>();
    auto limits = sized<VelmorLimits>();
    QCOMPARE(velmorReadMotionSettings(index, &motion), 0);
    QCOMPARE(velmorReadMotorSettings(index, &motor), 0);
    QCOMPARE(velmorReadMoveSettings(index, &move), 0);
    QCOMPARE(velmorGetLimits(index, &limits), 0);

    QCOMPARE(field<QSpinBox>("speed")->value(), motion.speed);
    QCOMPARE(field<QSpinBox>("stepMode")->value(), motion.stepMode);
    QCOMPARE(field<QSpinBox>("acceleration")->value(), motion.acceleration);
    QCOMPARE(field<QSpinBox>("current")->value(), motor.current);
    QCOMPARE(field<QCheckBox>("currentFlag")->isChecked(), motor.currentFlag != 0);
    QCOMPARE(field<QCheckBox>("backlashEnabled")->isChecked(), move.backlashEnabled != 0);
    QCOMPARE(field<QComboBox>("backlashDirection")->currentIndex(), move.backlashDirection);
    QCOMPARE(field<QSpinBox>("backlashAmount")->value(), move.backlashAmount);
    QCOMPARE(field<QComboBox>("homeDirection")->currentIndex(), move.homeDirection);
    QCOMPARE(field<QCheckBox>("homeFlagA")->isChecked(), move.homeFlagA != 0);
    QCOMPARE(field<QCheckBox>("homeFlagB")->isChecked(), move.homeFlagB != 0);
    QCOMPARE(field<QSpinBox>("homeValueA")->value(), move.homeValueA);
    QCOMPARE(field<QSpinBox>("homeValueB")->value(), move.homeValueB);

    QCOMPARE(field<QSpinBox>("current")->maximum(), limits.maximumCurrent);
    QCOMPARE(field<QCheckBox>("relay")->isEnabled(), limits.hasRelay != 0);
    QCOMPARE(field<QLabel>("relayReason")->text().isEmpty(), limits.hasRelay != 0);
    // Nothing was edited: there is nothing to apply.
    QVERIFY(m_window->settingsPanel()->changedSettings().isEmpty());
    QVERIFY(!field<QPushButton>("apply")->isEnabled());
}

void CenterWindowTest::moveByReachesTargetAndPlotGainsPoints()
{
    waitForUnits(3);
    selectAndWait(2);
    int32_t start = 0;
    QCOMPARE(getAbsolutePosition(2, &start), 0);
    const int pointsBefore = m_window->statusPanel()->plot()->pointCount();

    QTest::mouseClick(field<QPushButton>("motorOn"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(field<QLabel>("statusMotor")->text(), QStringLiteral("on"), s_shownWithinMs);
    field<QDoubleSpinBox>("moveBySteps")->setValue(200);
    QTest::mouseClick(field<QPushButton>("moveBy"), Qt::LeftButton);

    const QString target = QStringLiteral("%1 full steps").arg(start + 200);
    QTRY_VERIFY_WITH_TIMEOUT(field<QLabel>("statusPosition")->text().startsWith(target), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(field<QLabel>("statusReadiness")->text(), QStringLiteral("ready"), 15000);
    int32_t position = 0;
    QCOMPARE(getAbsolutePosition(2, &position), 0);
    QCOMPARE(position, start + 200);
    QVERIFY2(m_window->statusPanel()->plot()->pointCount() >= pointsBefore + 5,
             qPrintable(QString::number(m_window->statusPanel()->plot()->pointCount())));
    QVERIFY(m_window->logPane()->text().contains(QStringLiteral("moveMotorRelative(2, 200) → success")));
}

void CenterWindowTest::stopOvertakesQueuedMoves()
{
    waitForUnits(3);
    selectAndWait(2);
    QStringList order;
    QObject context;
    connect(m_window->worker(), &UnitWorker::actionDone, &context,
            [&order](const UnitAction &, const QString &call) { order.append(call); });

    // Keep the worker busy so that the moves wait in its queue.
    pauseWorker();
    m_window->post(UnitAction::moveBy(2, 300));
    m_window->post(UnitAction::moveBy(2, -300));
    QTest::keyClick(m_window, Qt::Key_Escape);
    resumeWorker();

    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, s_shownWithinMs);
    QCOMPARE(order, QStringList({QStringLiteral("stopMotor(2)"), QStringLiteral("moveMotorRelative(2, 300)"),
                                 QStringLiteral("moveMotorRelative(2, -300)")}));
}

void CenterWindowTest::valueOutsideRangeCannotBeApplied()
{
    waitForUnits(3);
    selectAndWait(2);
    auto limits = sized<VelmorLimits>();
    QCOMPARE(velmorGetLimits(2, &limits), 0);
    const struct { const char *field; int minimum; int maximum; QString range; } cases[] = {
        {"current", limits.minimumCurrent, limits.maximumCurrent,
         QStringLiteral("%1 to %2 mA").arg(limits.minimumCurrent).arg(limits.maximumCurrent)},
        {"speed", 0, limits.largestSpeed, QStringLiteral("0 to %1 steps/s").arg(limits.largestSpeed)},
        {"acceleration", 0, limits.largestAcceleration, QStringLiteral("0 to %1 steps/s²").arg(limits.largestAcceleration)},
        {"backlashAmount", 0, limits.largestBacklashAmount, QStringLiteral("0 to %1 steps").arg(limits.largestBacklashAmount)},
        {"homeValueA", 0, limits.largestHomeValue, QStringLiteral("0 to %1").arg(limits.largestHomeValue)},
        {"input1", 1, limits.inputChannels, QStringLiteral("1 to %1").arg(limits.inputChannels)},
        {"pwm", 0, limits.pwmLimit, QStringLiteral("0 to %1").arg(limits.pwmLimit)},
    };
    for (const auto &row : cases) {
        QSpinBox *box = field<QSpinBox>(row.field);
        const QString name = QLatin1String(row.field);
        QCOMPARE(m_window->findChild<QLabel *>(name + QStringLiteral("Range"))->text(), row.range);
        box->setValue(row.maximum + 1);
        QCOMPARE(box->value(), row.maximum);
        box->setValue(row.minimum - 1);
        QCOMPARE(box->value(), row.minimum);
    }

    // Typed in, a current above the maximum is not taken either.
    QSpinBox *current = field<QSpinBox>("current");
    current->setFocus();
    current->selectAll();
    QTest::keyClicks(current, QString::number(limits.maximumCurrent + 1));
    QTest::keyClick(current, Qt::Key_Enter);
    QVERIFY(current->value() <= limits.maximumCurrent);
    const QVector<UnitAction> changes = m_window->settingsPanel()->changedSettings();
    for (const UnitAction &change : changes)
        QVERIFY2(!change.values.contains(limits.maximumCurrent + 1), qPrintable(change.words));
}

void CenterWindowTest::applyWritesOnlyWhatChanged()
{
    waitForUnits(3);
    selectAndWait(2);
    auto motor = sized<VelmorMotorSettings>();
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    const int current = motor.current == 1200 ? 1300 : 1200;
    field<QSpinBox>("current")->setValue(current);
    field<QSpinBox>("acceleration")->setValue(field<QSpinBox>("acceleration")->value());
    // Once the library has taken the new current.
    QTRY_VERIFY_WITH_TIMEOUT(field<QPushButton>("apply")->isEnabled(), s_shownWithinMs);
    QTest::mouseClick(field<QPushButton>("apply"), Qt::LeftButton);

    QTRY_VERIFY_WITH_TIMEOUT(!field<QPushButton>("apply")->isEnabled(), s_shownWithinMs);
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    QCOMPARE(motor.current, current);
    const QString log = m_window->logPane()->text();
    QVERIFY(log.contains(QStringLiteral("current of unit 2 set to %1 mA, flag 0").arg(current)));
    QCOMPARE(log.count(QStringLiteral("setMotor")), 1);
}

// A request the unit refuses, each value within its range but the two together beyond the unit
// (the forms no longer send it): the log says so in the library's words.
void CenterWindowTest::refusedSettingIsLoggedWithWhy()
{
    waitForUnits(3);
    selectAndWait(2);
    UnitAction action = UnitAction::setSpeed(2, 2000, 5);
    action.setting = QStringLiteral("speed");
    m_window->post(action);

    const QString refusal = QStringLiteral(
        "setMotorSpeed(2, 2000, 5) refused: writing the motion configuration failed (code 7): 2000 steps/s at step mode "
        "5 is a step rate of 64000 steps/s, above the 20000 steps/s maximum of this unit (hardware 1.2)");
    QTRY_VERIFY2_WITH_TIMEOUT(m_window->logPane()->text().contains(refusal), qPrintable(m_window->logPane()->text()),
                              s_shownWithinMs);
}

void CenterWindowTest::formRefusesWhatTheUnitWouldRefuse_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<int>("stepMode");
    QTest::addColumn<QString>("reason");
    // Hardware 1.2 steps at 20000 steps/s at most: speed times 2 to the step mode.
    QTest::newRow("2000 steps/s at step mode 4") << 2000 << 4
        << QStringLiteral("2000 steps/s at step mode 4 is a step rate of 32000 steps/s, above the 20000 steps/s maximum "
                          "of this unit (hardware 1.2)");
    QTest::newRow("one step/s over the rate") << 1251 << 4
        << QStringLiteral("1251 steps/s at step mode 4 is a step rate of 20016 steps/s, above the 20000 steps/s maximum "
                          "of this unit (hardware 1.2)");
    QTest::newRow("at the rate") << 1250 << 4 << QString();
    QTest::newRow("2000 steps/s at step mode 3") << 2000 << 3 << QString();
}

// The form asks the library before Apply: a refused pair keeps Apply disabled with the words
// beside the fields, and sends nothing; a pair the unit takes is applied.
void CenterWindowTest::formRefusesWhatTheUnitWouldRefuse()
{
    QFETCH(int, speed);
    QFETCH(int, stepMode);
    QFETCH(QString, reason);
    waitForUnits(3);
    selectAndWait(2);
    auto *problem = field<QLabel>("speedProblem");
    auto *apply = field<QPushButton>("apply");
    field<QSpinBox>("speed")->setValue(speed);
    field<QSpinBox>("stepMode")->setValue(stepMode);
    QVERIFY(!apply->isEnabled());

    if (!reason.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(problem->text(), reason, s_shownWithinMs);
        QVERIFY(problem->isVisible());
        QVERIFY(!apply->isEnabled());
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(m_window->settingsPanel()->changedSettings().size() == 1);
        QVERIFY(!m_window->logPane()->text().contains(QStringLiteral("setMotorSpeed(2, ")));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(apply->isEnabled(), s_shownWithinMs);
    QVERIFY(!problem->isVisible());
    QTest::mouseClick(apply, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!apply->isEnabled(), s_shownWithinMs);
    auto motion = sized<VelmorMotionSettings>();
    QCOMPARE(velmorReadMotionSettings(2, &motion), 0);
    QCOMPARE(motion.speed, speed);
    QCOMPARE(motion.stepMode, stepMode);
}

// Save, change a setting, compare (the change is named), load (the setting is back), each from
// the File menu with a file in a folder of the test's own.
void CenterWindowTest::fileMenuSavesComparesAndLoadsSettings()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("unit2.json"));
    waitForUnits(3);
    selectAndWait(2);
    auto motor = sized<VelmorMotorSettings>();
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    const int saved = motor.current;
    const int changed = saved == 1200 ? 1300 : 1200;

    const ProfileOutcome save = runFileAction("saveSettings", path);
    QVERIFY2(save.failure.isEmpty(), qPrintable(save.failure));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject profile = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(profile.value(QLatin1String("serialNumber")).toString(), QStringLiteral("JXah00102"));
    QCOMPARE(profile.value(QLatin1String("settings")).toObject().value(QLatin1String("current")).toInt(), saved);

    field<QSpinBox>("current")->setValue(changed);
    QTRY_VERIFY_WITH_TIMEOUT(field<QPushButton>("apply")->isEnabled(), s_shownWithinMs);
    QTest::mouseClick(field<QPushButton>("apply"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!field<QPushButton>("apply")->isEnabled(), s_shownWithinMs);

    const ProfileOutcome compare = runFileAction("compareSettings", path);
    QVERIFY2(compare.failure.isEmpty(), qPrintable(compare.failure));
    QVERIFY(m_window->profileDialog()->isVisible());
    QCOMPARE(tableRows(), QVector<QStringList>({{QStringLiteral("current.current"), QString::number(saved),
                                                 QString::number(changed)}}));

    const ProfileOutcome load = runFileAction("loadSettings", path);
    QVERIFY2(load.failure.isEmpty(), qPrintable(load.failure));
    QCOMPARE(outcomeOf(QStringLiteral("current")), QStringLiteral("applied"));
    QCOMPARE(outcomeOf(QStringLiteral("speed")), QStringLiteral("unchanged"));
    QVERIFY(!field<QPushButton>("fixProfile")->isVisible());
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    QCOMPARE(motor.current, saved);
    QTRY_COMPARE_WITH_TIMEOUT(field<QSpinBox>("current")->value(), saved, s_shownWithinMs);
}

// A file with a value beyond the unit: refused with the unit's range, and once asked, fixed to
// the nearest value the unit takes.
void CenterWindowTest::loadOffersToFixRefusedValues()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("too-much.json"));
    writeFile(path, R"({"velmorlibProfile": 1, "serialNumber": "JXah00102", "settings": {"current": 9000, "currentFlag": 0}})");
    waitForUnits(3);
    selectAndWait(2);
    auto motor = sized<VelmorMotorSettings>();
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    const int before = motor.current;

    const ProfileOutcome refused = runFileAction("loadSettings", path);
    QCOMPARE(refused.code, int32_t(VELMOR_ERROR_ARGUMENT));
    QCOMPARE(outcomeOf(QStringLiteral("current")), QStringLiteral("refused"));
    QVERIFY2(tableRows().at(0).at(2).contains(QLatin1String("8000 mA")), qPrintable(tableRows().at(0).at(2)));
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    QCOMPARE(motor.current, before);

    QSignalSpy shown(m_window, &MainWindow::profileShown);
    auto *fix = field<QPushButton>("fixProfile");
    QVERIFY(fix->isVisible());
    QTest::mouseClick(fix, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, s_shownWithinMs);
    QCOMPARE(outcomeOf(QStringLiteral("current")), QStringLiteral("fixed"));
    QVERIFY(!fix->isVisible());
    QCOMPARE(velmorReadMotorSettings(2, &motor), 0);
    QCOMPARE(motor.current, 8000);
}

// With a profile in millimetres for unit 2 (VELMOR_PROFILES naming the test's folder), its
// name is listed, its position, fields and plot are in millimetres, and its travel limits
// refuse a move beyond them, sending nothing.
void CenterWindowTest::positionIsShownInTheProfilesUnit()
{
    QTemporaryDir folder;
    useProfiles(folder);
    QTRY_VERIFY2_WITH_TIMEOUT(rowText(1).contains(QStringLiteral("JXah00102 \u201cX stage\u201d")), qPrintable(rowText(1)),
                              s_listedWithinMs);
    QCOMPARE(m_window->units()->index(1).data(UnitListModel::NameRole).toString(), QStringLiteral("X stage"));
    QVERIFY(!rowText(0).contains(QStringLiteral("\u201c")));
    selectAndWait(2);
    QVERIFY2(field<QLabel>("statusPosition")->text().startsWith(QLatin1String("0.000 mm (0 full steps, step mode ")),
             qPrintable(field<QLabel>("statusPosition")->text()));
    QCOMPARE(m_window->statusPanel()->plot()->scale().unit, QStringLiteral("mm"));
    QCOMPARE(*m_window->statusPanel()->plot()->scale().travelMax, 20.0);
    auto *distance = field<QDoubleSpinBox>("moveBySteps");
    QCOMPARE(distance->suffix(), QStringLiteral(" mm"));

    QTest::mouseClick(field<QPushButton>("motorOn"), Qt::LeftButton);
    distance->setValue(1.5);
    QTest::mouseClick(field<QPushButton>("moveBy"), Qt::LeftButton);
    QTRY_VERIFY2_WITH_TIMEOUT(field<QLabel>("statusPosition")->text().startsWith(QLatin1String("1.500 mm (300 full steps")),
                              qPrintable(field<QLabel>("statusPosition")->text()), 15000);
    int32_t position = 0;
    QCOMPARE(getAbsolutePosition(2, &position), 0);
    QCOMPARE(position, 300);
}

void CenterWindowTest::moveBeyondTheTravelLimitsIsRefused_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("millimetres");
    QTest::addColumn<QString>("call");
    QTest::newRow("move to past max") << "moveTo" << "moveToPosition" << 20.005 << "moveMotorAbsolute(2, 4001)";
    QTest::newRow("move by past min") << "moveBy" << "moveBySteps" << -5.005 << "moveMotorRelative(2, -1001)";
}

void CenterWindowTest::moveBeyondTheTravelLimitsIsRefused()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(double, millimetres);
    QFETCH(QString, call);
    QTemporaryDir folder;
    useProfiles(folder);
    waitForUnits(3);
    selectAndWait(2);
    QTest::mouseClick(this->field<QPushButton>("motorOn"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(this->field<QLabel>("statusMotor")->text(), QStringLiteral("on"), s_shownWithinMs);
    m_window->findChild<QDoubleSpinBox *>(field)->setValue(millimetres);
    m_window->findChild<QPushButton *>(button)->click();

    const QString refusal = call + QStringLiteral(" refused: an argument is out of range (code 21): the target lies beyond "
                                                  "the travel limits of the unit's profile, -5 mm to 20 mm");
    QTRY_VERIFY2_WITH_TIMEOUT(m_window->logPane()->text().contains(refusal), qPrintable(m_window->logPane()->text()),
                              s_shownWithinMs);
    QVERIFY(!heardAMove(UnitB));
    int32_t position = 1;
    QCOMPARE(getAbsolutePosition(2, &position), 0);
    QCOMPARE(position, 0);
    QVERIFY(this->field<QLabel>("statusPosition")->text().startsWith(QLatin1String("0.000 mm")));
}

void CenterWindowTest::unpluggedUnitIsReportedAndDropped()
{
    waitForUnits(3);
    selectAndWait(2);
    VelmorEmulator::unplug(UnitB);

    waitForUnits(2);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->selectedUnit(), 0, s_shownWithinMs);
    const QString shown = field<QLabel>("statusUnit")->text();
    QCOMPARE(shown, QStringLiteral("unit 2 (JXah00102) was unplugged (it is no longer listed)"));
    QVERIFY(m_window->logPane()->text().contains(shown));
    for (int row = 0; row < m_window->units()->rowCount(); ++row)
        QVERIFY(m_window->units()->index(row).data(UnitListModel::SerialRole).toString() != QLatin1String("JXah00102"));
    QVERIFY(!field<QPushButton>("moveBy")->isEnabled());
    QVERIFY(field<QPushButton>("stop")->isEnabled());
}

void CenterWindowTest::selectionFollowsItsUnitWhenAnEarlierOneGoes()
{
    waitForUnits(3);
    selectAndWait(3);
    VelmorEmulator::unplug(UnitA);

    waitForUnits(2);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->selectedUnit(), 2, s_shownWithinMs);
    QSignalSpy status(m_window, &MainWindow::statusShown);
    QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty(), s_shownWithinMs);
    QCOMPARE(status.last().at(0).toInt(), 2);
    QCOMPARE(m_window->units()->index(1).data(UnitListModel::SerialRole).toString(), QStringLiteral("JXbh01001"));
    QVERIFY(field<QPushButton>("moveBy")->isEnabled());
    QVERIFY(!m_window->logPane()->text().contains(QStringLiteral("unplugged")));
}

void CenterWindowTest::requestMadeBeforeUnitsChangedIsNotSent_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QVector<int>>("unplugged");
    QTest::addColumn<QVector<int>>("plugged");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("selectedAfter");
    QTest::newRow("a unit before it unplugged")
        << 3 << QVector<int>{UnitA} << QVector<int>{}
        << QStringLiteral("unit 3 (JXbh01001) is now listed at index 2: the units changed since the request") << 2;
    QTest::newRow("unplugged as another unit comes at its index")
        << 2 << QVector<int>{UnitB} << QVector<int>{Spare}
        << QStringLiteral("unit 2 (JXah00102) was unplugged (it is no longer listed)") << 0;
}

// The move waits in the worker's queue while the units change: it reaches no unit, and the log
// says why.
void CenterWindowTest::requestMadeBeforeUnitsChangedIsNotSent()
{
    QFETCH(int, selected);
    QFETCH(QVector<int>, unplugged);
    QFETCH(QVector<int>, plugged);
    QFETCH(QString, reason);
    QFETCH(int, selectedAfter);
    waitForUnits(3);
    selectAndWait(selected);
    QSignalSpy notSent(m_window->worker(), &UnitWorker::actionNotSent);
    pauseWorker();
    m_window->post(UnitAction::moveBy(selected, 300));
    for (int unit : unplugged)
        VelmorEmulator::unplug(size_t(unit));
    for (int unit : plugged)
        VelmorEmulator::plug(size_t(unit));
    resumeWorker();

    const QString line = QStringLiteral("moveMotorRelative(%1, 300) not sent: %2").arg(selected).arg(reason);
    QTRY_VERIFY2_WITH_TIMEOUT(m_window->logPane()->text().contains(line), qPrintable(m_window->logPane()->text()),
                              s_shownWithinMs);
    QCOMPARE(notSent.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->selectedUnit(), selectedAfter, s_shownWithinMs);
    for (size_t unit : {UnitA, Spare, UnitB, UnitC})
        QVERIFY2(!heardAMove(unit), qPrintable(QStringLiteral("unit %1 heard a move").arg(unit)));
    if (selectedAfter == 0)
        QCOMPARE(field<QLabel>("statusUnit")->text(), reason);
}

void CenterWindowTest::busyUnitIsShownBusyAndNeverMoved()
{
    waitForUnits(3);
    void *otherProgram = nullptr;
    QCOMPARE(FT_Open(1, &otherProgram), 0u);  // unit B, listed second
    QTRY_COMPARE_WITH_TIMEOUT(rowText(1), QStringLiteral("2   JXah00102\n     busy in another program"), s_shownWithinMs);

    m_window->selectUnit(2);
    const QString busy = QStringLiteral("unit 2 (JXah00102) is busy in another program");
    QTRY_COMPARE_WITH_TIMEOUT(field<QLabel>("statusUnit")->text(), busy, s_shownWithinMs);
    QCOMPARE(m_window->selectedUnit(), 0);
    QVERIFY(!field<QPushButton>("moveBy")->isEnabled());
    m_window->post(UnitAction::moveBy(2, 300));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->logPane()->text().contains(QStringLiteral("moveMotorRelative(2, 300) not sent: ") + busy),
                             s_shownWithinMs);

    // Free again, the unit is read and shown whole.
    QCOMPARE(FT_Close(otherProgram), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(rowText(1).contains(QLatin1String("hardware 1.2, firmware 3.0")), s_shownWithinMs);
    selectAndWait(2);
    QVERIFY(field<QPushButton>("moveBy")->isEnabled());
    QVERIFY(!heardAMove(UnitB));
}

void CenterWindowTest::plotKeepsTheLastMinute_data()
{
    QTest::addColumn<QVector<qint64>>("times");
    QTest::addColumn<int>("kept");
    QTest::newRow("one point") << QVector<qint64>{0} << 1;
    QTest::newRow("exactly a minute apart") << QVector<qint64>{0, 60000} << 2;
    QTest::newRow("one millisecond over") << QVector<qint64>{0, 60001} << 1;
    QTest::newRow("a minute of tenths and more") << [] {
        QVector<qint64> times;
        for (qint64 t = 0; t <= 90000; t += 100)
            times.append(t);
        return times;
    }() << 601;
}

void CenterWindowTest::plotKeepsTheLastMinute()
{
    QFETCH(QVector<qint64>, times);
    QFETCH(int, kept);
    PositionPlot plot;
    for (qint64 time : times)
        plot.addPoint(time, double(time) / 100);
    QCOMPARE(plot.pointCount(), kept);
}

// The window tells whether the units are shared through velmord: not while none runs; not for
// the unit it held before velmord came, which stays open in this process; and once a unit is
// selected with velmord there, which then answers another program while the window holds it.
// velmord serves the units of the bench the tests' environment names, with the same serial
// numbers as setUpBench()'s units.
void CenterWindowTest::velmordIsShownAndSharesTheSelectedUnit()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString socket = folder.filePath(QStringLiteral("velmord.sock"));
    qputenv("VELMOR_BROKER", QFile::encodeName(socket));
    delete m_window;
    m_window = new MainWindow;
    m_window->show();
    auto *sharing = field<QLabel>("sharing");

    waitForUnits(3);
    QTRY_COMPARE_WITH_TIMEOUT(sharing->text(), QStringLiteral("units opened directly"), s_shownWithinMs);
    selectAndWait(2);

    QProcess velmord;
    velmord.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    velmord.start(QStringLiteral(VELMORD_PATH), {QStringLiteral("--socket"), socket});
    QVERIFY2(velmord.waitForStarted(), qPrintable(velmord.errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(sharing->text(), QStringLiteral("velmord runs; selected unit held here"), s_listedWithinMs);

    selectAndWait(1);
    QTRY_COMPARE_WITH_TIMEOUT(sharing->text(), QStringLiteral("shared through velmord"), s_shownWithinMs);
    QVERIFY2(sharing->toolTip().contains(socket), qPrintable(sharing->toolTip()));

    QProcess other;
    other.start(QStringLiteral(VELMORCTL_PATH), {QStringLiteral("position"), QStringLiteral("1")});
    QVERIFY(other.waitForFinished(s_listedWithinMs));
    QCOMPARE(other.exitCode(), 0);
    QVERIFY2(other.readAllStandardOutput().contains("position of unit 1: "), other.readAllStandardError().constData());

    // The window lets go of its unit through velmord before velmord ends.
    delete m_window;
    m_window = nullptr;
    velmord.terminate();
    QVERIFY(velmord.waitForFinished(s_shownWithinMs));
    qunsetenv("VELMOR_BROKER");
}

QTEST_MAIN(CenterWindowTest)
#include "CenterWindow_test.moc"
