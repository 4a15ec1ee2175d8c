#include "USBChannelLog.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <atomic>

namespace {

std::atomic<bool> s_enabled(false);

} // namespace

USBChannelLog::USBChannelLog(quint32 deviceIndex)
    : m_deviceIndex(deviceIndex)
{
}

USBChannelLog::~USBChannelLog() = default;

void USBChannelLog::setEnabled(bool enabled)
{
    s_enabled = enabled;
}

bool USBChannelLog::isEnabled()
{
    return s_enabled;
}

bool USBChannelLog::ensureOpen()
{
    if (m_file.isOpen())
        return true;
    if (m_failed)
        return false;
    const QString name = QStringLiteral("Socket-%1-%2.log")
                             .arg(m_deviceIndex)
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd-hh.mm.ss")));
    m_file.setFileName(QDir::current().absoluteFilePath(name));
    m_failed = !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    return !m_failed;
}

void USBChannelLog::record(const char *bytes, quint32 count)
{
    if (!isEnabled() || !ensureOpen())
        return;
    QDataStream stream(&m_file);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << count;
    if (count > 0)
        stream.writeRawData(bytes, static_cast<int>(count));
    m_file.flush();
}
