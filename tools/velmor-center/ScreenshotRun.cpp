#include "ScreenshotRun.h"

#include "MainWindow.h"
#include "SettingsPanel.h"
#include "PositionPlot.h"
#include "StatusPanel.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

ScreenshotRun::ScreenshotRun(MainWindow &window, const QString &folder, int unit)
    : QObject(&window)
    , m_window(window)
    , m_folder(folder)
    , m_unit(unit)
{
    connect(&window, &MainWindow::unitsShown, this, &ScreenshotRun::onUnitsShown);
    connect(&window, &MainWindow::settingsShown, this, [this](int index) { m_settingsShown = index == m_unit; });
    connect(&window, &MainWindow::statusShown, this, [this](int index) {
        // A few status readings give the plot a line to show.
        if (index == m_unit && m_settingsShown && m_window.statusPanel()->plot()->pointCount() >= 5)
            capture();
    });
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

void ScreenshotRun::capture()
{
    if (m_done)
        return;
    if (!QDir().mkpath(m_folder)) {
        finish(1, QStringLiteral("cannot make the folder %1").arg(m_folder));
        return;
    }
    bool saved = save(&m_window, QStringLiteral("main-window"));
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
    const QString path = QDir(m_folder).filePath(name + QStringLiteral(".png"));
    const bool saved = widget->grab().save(path, "PNG");
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
