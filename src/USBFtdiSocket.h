// The plain channel: one FTDI interface opened through D2XX and used as a byte pipe.
#ifndef USBFTDISOCKET_H
#define USBFTDISOCKET_H

#include "FtdiLibrary.h"
#include "USBISocket.h"

#include <functional>
#include <initializer_list>

class USBFtdiSocket : public USBISocket
{
public:
    enum Flag : quint32 { UartMode = 0x1 };

    // uartMode: this interface of an FT2232H is the serial command line.
    explicit USBFtdiSocket(quint32 deviceIndex, bool uartMode = false);

    USBISocketPtr clone() const override;
    USBResult open(quint32 baudRate) override;
    USBResult close() override;
    void resetAndClose() override;
    quint32 threadPriority() const override;
    quint32 deviceIndex() const override;
    bool isOpen() const override;
    USBSocketStatus status() override;
    quint32 purge() override;
    void writeByte(quint8 value) override;
    quint32 write(const QByteArray &data) override;
    QByteArray read(qint32 count) override;
    void readInto(char *buffer, quint32 count) override;
    qint32 readAvailable(QByteArray &buffer, qint32 wantedTotal) override;
    quint32 bytesAvailable() override;
    quint32 applyTimeouts() override;
    quint32 applyProtocolTimeouts() override;
    void setReadHint(quint32 bytes) override;

    bool uartMode() const { return (m_flags & UartMode) != 0; }

    // How many D2XX calls on an open channel's handle have failed in the calling thread. A caller
    // that keeps a unit open between calls compares it across a call to learn that the unit broke
    // (a call's exchanges run in its own thread).
    static quint64 failedCallCount();
    // Counts the failed call and gives its result.
    static USBResult failedCall(FT_STATUS status);

    // The largest count read() takes, plus one.
    static constexpr qint32 kReadBufferSize = 4096;
    // The most bytes readAvailable() takes in one call.
    static constexpr qint32 kLargestAvailableRead = 10000;

protected:
    // One step of a configuration sequence; a sequence stops at the first step that fails.
    using Step = std::function<FT_STATUS()>;
    static FT_STATUS runSteps(std::initializer_list<Step> steps);
    static FT_STATUS waitTenMilliseconds();

    // The start every open shares: refuses an open channel, opens the interface, sets the
    // thread priority to 7 and asks the chip type. On success `handle` is the new handle, not
    // yet stored; on failure no handle stays open.
    USBResult openInterface(FT_HANDLE &handle, FT_DEVICE &chipType);
    // Closes a handle whose open went wrong and reports why.
    static USBResult abandon(FT_HANDLE handle, FT_STATUS status);
    static USBResult abandonForUnknownSerial(FT_HANDLE handle);
    // The serial number in the interface's EEPROM; empty when the chip has none we can read.
    static QString eepromSerial(FT_HANDLE handle, FT_DEVICE chipType);

    // Throws "Device not open" while closed.
    void requireOpen() const;
    // One FT_Read of exactly `count` bytes; throws on a failure or a short count.
    void readExactly(void *buffer, DWORD count);

    quint32 m_flags = 0;
    quint32 m_deviceIndex;
    FT_HANDLE m_handle = nullptr;
    quint32 m_threadPriority = 0;

private:
    FT_STATUS configure(FT_HANDLE handle, FT_DEVICE chipType, quint32 baudRate, quint32 flowControl) const;
};

#endif // USBFTDISOCKET_H
