#include "MainWindow.h"
#include "ScreenshotRun.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

namespace {

// EX_USAGE of sysexits.h, as velmorctl exits on a wrong command line.
constexpr int s_usageError = 64;

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setApplicationName(QStringLiteral("velmor-center"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velmor Control Center"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Velmor Control Center: watch, move and set up the attached units."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
        QStringLiteral("write the window and each settings tab as PNG files into DIR, then exit"), QStringLiteral("DIR"));
    const QCommandLineOption unit(QStringLiteral("unit"), QStringLiteral("the unit the screenshots show (default 1)"),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption move(QStringLiteral("move"),
        QStringLiteral("with --screenshot: switch the unit's motor on and move it by STEPS, and take the window while "
                       "it moves (for the emulator, or a unit free to move)"),
        QStringLiteral("STEPS"), QStringLiteral("0"));
    parser.addOption(screenshot);
    parser.addOption(unit);
    parser.addOption(move);
    parser.process(application);

    bool unitIsNumber = false;
    const int unitIndex = parser.value(unit).toInt(&unitIsNumber);
    if (!unitIsNumber || unitIndex < 1) {
        QTextStream(stderr) << "velmor-center: --unit takes a unit index from 1\n";
        return s_usageError;
    }

    bool stepsAreNumber = false;
    const int moveSteps = parser.value(move).toInt(&stepsAreNumber);
    if (!stepsAreNumber) {
        QTextStream(stderr) << "velmor-center: --move takes a whole number of steps\n";
        return s_usageError;
    }

    MainWindow window;
    if (parser.isSet(screenshot))
        new ScreenshotRun(window, parser.value(screenshot), unitIndex, moveSteps);
    window.show();
    return application.exec();
}
