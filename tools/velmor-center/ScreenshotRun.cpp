#include "ScreenshotRun.h"

#include "MainWindow.h"
#include "PositionPlot.h"
#include "SettingsPanel.h"
#include "StatusPanel.h"
#include "UnitAction.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

namespace {
// Readings after the move was asked for before the window is taken: the unit is under way then.
constexpr int s_readingsIntoTheMove = 8;
// Readings that give the plot a line to show.
constexpr int s_readingsAtRest = 5;
} // namespace

ScreenshotRun::ScreenshotRun(MainWindow &window, const QString &folder, int unit, int moveSteps)
    : QObject(&window)
    , m_window(window)
    , m_folder(folder)
    , m_unit(unit)
    , m_moveSteps(moveSteps)
{
    connect(&window, &MainWindow::unitsShown, this, &ScreenshotRun::onUnitsShown);
    connect(&window, &MainWindow::settingsShown, this, &ScreenshotRun::onSettingsShown);
    connect(&window, &MainWindow::statusShown, this, &ScreenshotRun::onStatusShown);
    QTimer::singleShot(s_timeoutMs, this, [this] {
        finish(1, QStringLiteral("no status of unit %1 within %2 s").arg(m_unit).arg(s_timeoutMs / 1000));
    });
}

void ScreenshotRun::onUnitsShown(int count)
{
    if (m_unit > count) {
        finish(1, QStringLiteral("there is no unit %1: %2 attached").arg(m_unit).arg(count));
        return;
    }
    if (m_window.selectedUnit() == 0)
        m_window.selectUnit(m_unit);
}

void ScreenshotRun::onSettingsShown(int index)
{
    const bool first = !m_settingsShown && index == m_unit;
    m_settingsShown = index == m_unit;
    if (first && m_moveSteps != 0)
        startMove();
}

void ScreenshotRun::startMove()
{
    m_pointsAtMove = m_window.statusPanel()->plot()->pointCount();
    m_window.post(UnitAction::motorOn(m_unit));
    m_window.post(UnitAction::moveBy(m_unit, m_moveSteps));
}

void ScreenshotRun::onStatusShown(int index)
{
    if (index != m_unit || !m_settingsShown)
        return;
    const int points = m_window.statusPanel()->plot()->pointCount();
    const bool ready = m_moveSteps != 0 ? points >= m_pointsAtMove + s_readingsIntoTheMove : points >= s_readingsAtRest;
    if (ready)
        capture();
}

void ScreenshotRun::capture()
{
    if (m_done)
        return;
    if (!QDir().mkpath(m_folder)) {
        finish(1, QStringLiteral("cannot make the folder %1").arg(m_folder));
        return;
    }
    bool saved = save(&m_window, QStringLiteral("main-window"));
    saved = save(m_window.statusPanel(), QStringLiteral("status")) && saved;
    saved = saveFileMenu() && saved;
    QTabWidget *tabs = m_window.settingsPanel()->tabs();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        const QString name = tabs->tabText(tab).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
        saved = save(tabs, QStringLiteral("settings-") + name) && saved;
    }
    tabs->setCurrentIndex(0);
    finish(saved ? 0 : 1, saved ? QString() : QStringLiteral("a PNG file could not be written"));
}

bool ScreenshotRun::save(QWidget *widget, const QString &name)
{
    return save(widget->grab(), name);
}

bool ScreenshotRun::saveFileMenu()
{
    QMenuBar *bar = m_window.menuBar();
    QMenu *menu = m_window.fileMenu();
    const QPoint below = bar->actionGeometry(menu->menuAction()).bottomLeft();
    bar->setActiveAction(menu->menuAction());
    menu->popup(bar->mapToGlobal(below));
    const QList<QAction *> actions = menu->actions();
    if (actions.size() > 1)
        menu->setActiveAction(actions.at(1));
    QPixmap picture = m_window.grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(bar->mapTo(&m_window, below), menu->grab());
    }
    menu->hide();
    return save(picture, QStringLiteral("file-menu"));
}

bool ScreenshotRun::save(const QPixmap &picture, const QString &name)
{
    const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
    const bool saved = picture.save(path, "PNG");
    QTextStream(stdout) << (saved ? "wrote " : "could not write ") << path << '\n';
    return saved;
}

void ScreenshotRun::finish(int exitCode, const QString &message)
{
    if (m_done)
        return;
    m_done = true;
    if (!message.isEmpty())
        QTextStream(stderr) << "velmor-center: " << message << '\n';
    QApplication::exit(exitCode);
}
