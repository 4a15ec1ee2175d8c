// --screenshot: once the chosen unit's first status is shown, writes the window, the window with
// its File menu open, the status panel with its plot and each settings tab as PNG files and
// quits. With --move STEPS it first switches the unit's motor on and
// moves it by STEPS, and takes the window while the unit moves.
#ifndef VELMORCENTER_SCREENSHOTRUN_H
#define VELMORCENTER_SCREENSHOTRUN_H

#include <QObject>
#include <QString>

class MainWindow;

class ScreenshotRun : public QObject
{
    Q_OBJECT
public:
    static constexpr int s_timeoutMs = 30000;

    ScreenshotRun(MainWindow &window, const QString &folder, int unit, int moveSteps);

private:
    void onUnitsShown(int count);
    void onSettingsShown(int index);
    void onStatusShown(int index);
    void startMove();
    void capture();
    bool save(class QWidget *widget, const QString &name);
    bool save(const class QPixmap &picture, const QString &name);
    // The window with its File menu open over it: a menu is a window of its own, grabbed apart.
    bool saveFileMenu();
    void finish(int exitCode, const QString &message);

    MainWindow &m_window;
    QString m_folder;
    int m_unit;
    int m_moveSteps;
    // The plot's points when the move was asked for: the window is taken a few readings later.
    int m_pointsAtMove = 0;
    bool m_settingsShown = false;
    bool m_done = false;
};

#endif
