#include "ChildProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct ChildProcess::Running
{
    QProcess process;
    bool started = false;
};

namespace {

QProcessEnvironment environmentWith(const std::vector<std::string> &changes)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const std::string &change : changes) {
        const QString entry = QString::fromStdString(change);
        const int equals = entry.indexOf(QLatin1Char('='));
        environment.insert(entry.left(equals), entry.mid(equals + 1));
    }
    return environment;
}

} // namespace

// Windows has no pseudo-terminal to give a program: every process runs on pipes.
ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &arguments,
                           const std::vector<std::string> &environment, const std::string &input, Streams)
    : m_running(std::make_unique<Running>())
{
    startOnPipes(program, arguments, environment, input);
}

void ChildProcess::startOnPipes(const std::string &program, const std::vector<std::string> &arguments,
                                const std::vector<std::string> &environment, const std::string &input)
{
    QStringList argumentList;
    for (const std::string &argument : arguments)
        argumentList.append(QString::fromStdString(argument));
    QProcess &process = m_running->process;
    process.setProcessEnvironment(environmentWith(environment));
    // Text mode: the tests read the output as on POSIX, with \n line ends.
    process.start(QString::fromStdString(program), argumentList, QIODevice::ReadWrite | QIODevice::Text);
    m_running->started = process.waitForStarted(30000);
    if (!m_running->started)
        return;
    if (!input.empty())
        process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
}

bool ChildProcess::started() const
{
    return m_running->started;
}

ChildProcess::~ChildProcess()
{
    if (!m_finished && m_running->process.state() != QProcess::NotRunning)
        m_running->process.kill();
    finish();
}

void ChildProcess::sendSignal(int) const
{
}

void ChildProcess::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    QProcess &process = m_running->process;
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(-1);
    readSome(0);
    if (m_running->started && process.exitStatus() == QProcess::NormalExit)
        m_exitStatus = process.exitCode();
}

bool ChildProcess::readSome(int timeoutMs)
{
    QProcess &process = m_running->process;
    if (process.state() != QProcess::NotRunning)
        process.waitForReadyRead(timeoutMs);
    m_out += process.readAllStandardOutput().toStdString();
    m_err += process.readAllStandardError().toStdString();
    return process.state() != QProcess::NotRunning;
}
