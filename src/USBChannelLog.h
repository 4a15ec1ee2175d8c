// The channel log: every block a buffered channel receives, as a 32-bit little-endian count
// followed by the bytes, in "Socket-<interface index>-<local time>.log" in the current
// directory. Off unless turned on with setEnabled(); nothing in the library turns it on.
#ifndef USBCHANNELLOG_H
#define USBCHANNELLOG_H

#include <QFile>
#include <QString>

class USBChannelLog
{
public:
    explicit USBChannelLog(quint32 deviceIndex);
    ~USBChannelLog();
    USBChannelLog(const USBChannelLog &) = delete;
    USBChannelLog &operator=(const USBChannelLog &) = delete;

    // The process-wide switch; off at start.
    static void setEnabled(bool enabled);
    static bool isEnabled();

    // Appends one record when the switch is on. The file is created, replacing any of its name,
    // at the first record and stays open for this object's lifetime; a file that cannot be
    // created is given up on without a word: the log never disturbs the channel.
    void record(const char *bytes, quint32 count);

    // Empty until the first record opened the file.
    QString fileName() const { return m_file.fileName(); }

private:
    bool ensureOpen();

    quint32 m_deviceIndex;
    QFile m_file;
    bool m_failed = false;
};

#endif // USBCHANNELLOG_H
