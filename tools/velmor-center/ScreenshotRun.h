// --screenshot: once the chosen unit's first status is shown, writes the window and each
// settings tab as PNG files and quits.
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

    ScreenshotRun(MainWindow &window, const QString &folder, int unit);

private:
    void onUnitsShown(int count);
    void capture();
    bool save(class QWidget *widget, const QString &name);
    void finish(int exitCode, const QString &message);

    MainWindow &m_window;
    QString m_folder;
    int m_unit;
    bool m_settingsShown = false;
    bool m_done = false;
};

#endif
