#include "BootloaderCommRequest.h"

#include "Assert.h"

#include <QMap>
#include <QMutexLocker>

namespace {

constexpr quint8 kPageCheckByte = 0xFF;
constexpr int kPageCheckLength = 2;

// Variant 0 opcodes are letters ("E", "*", "C", ...); commands it lacks are missing and give 0.
QMap<quint32, QMap<quint32, quint8>> buildOpcodes()
{
    QMap<quint32, QMap<quint32, quint8>> opcodes;
    opcodes[0] = {{2, 69}, {4, 42}, {6, 67}, {7, 68}, {8, 100}, {9, 80},
                  {10, 112}, {11, 115}, {12, 97}, {13, 65}, {14, 83}};
    opcodes[1] = {{0, 2}, {1, 9}, {2, 3}, {3, 7}, {4, 4}, {5, 8}, {6, 16}, {7, 17}, {8, 18}, {9, 19},
                  {10, 20}, {11, 21}, {12, 22}, {13, 23}, {14, 24}, {15, 6}, {16, 10}, {17, 25},
                  {18, 26}, {19, 27}, {20, 28}};
    return opcodes;
}

} // namespace

BootloaderCommRequest::BootloaderCommRequest(quint32 variant, quint32 command, quint32 pageSize)
    : m_opcode(opcode(variant, command))
    , m_command(command)
    , m_variant(variant)
    , m_pageSize(pageSize)
    , m_id(nextRequestId())
{
}

quint8 BootloaderCommRequest::opcode(quint32 variant, quint32 command)
{
    static const QMap<quint32, QMap<quint32, quint8>> s_opcodes = buildOpcodes();
    return s_opcodes.value(variant).value(command, 0);
}

bool BootloaderCommRequest::isRaw() const
{
    return m_variant != 0 && (m_command < 6 || m_command == 15 || m_command == 16);
}

quint8 BootloaderCommRequest::commandCode() const
{
    return m_opcode;
}

QByteArray BootloaderCommRequest::payload() const
{
    return m_payload;
}

bool BootloaderCommRequest::isCommand(qint32 command) const
{
    return command >= 0 && static_cast<quint32>(command) == m_command;
}

void BootloaderCommRequest::setReplyData(const QByteArray &data)
{
    m_receivedData = data;
}

QByteArray BootloaderCommRequest::replyData() const
{
    if (m_pageSize == 0)
        return m_receivedData;
    VELMOR_ASSERT(m_receivedData.size() == m_pageSize+2);
    return m_receivedData.left(static_cast<int>(m_pageSize));
}

USBResult BootloaderCommRequest::checkStatus(quint8 status) const
{
    switch (status) {
    case 0:
    case 91:
    case 92:
        return USBResult();
    case 1:
        return USBResult(QStringLiteral("Instruction was not recognised by target device"), USBResult::Error);
    case 2:
        return USBResult(QStringLiteral("Target device is busy"), USBResult::Error);
    case 3:
        return USBResult(QStringLiteral("Device was not unlocked for write"), USBResult::Error);
    default:
        return USBResult(QStringLiteral("Instruction stream was corrupted (unexpected return value [%1])").arg(status),
                         USBResult::Error);
    }
}

qint32 BootloaderCommRequest::expectedReplyLength() const
{
    if (m_command == ReadPageCommand)
        return static_cast<qint32>(m_pageSize + kPageCheckLength);
    if (m_command == 17)
        return 2;
    if (m_command <= 20)
        return 0;
    VELMOR_ASSERT(0);  // a command the bootloader does not have
    return 0;
}

bool BootloaderCommRequest::hasCustomReplyParser() const
{
    return m_command == InformationCommand;
}

USBResult BootloaderCommRequest::parseReply(const QByteArray &data)
{
    if (m_command == InformationCommand)
        m_receivedData = data;
    return USBResult();
}

USBResult BootloaderCommRequest::receiveRaw(const boost::shared_ptr<USBISocket> &socket)
{
    if (m_command != InformationCommand)
        return USBResult();
    try {
        // A reply starting FF is the long form: two more bytes follow.
        QByteArray data = socket->read(2);
        if (static_cast<quint8>(data.at(0)) == 0xFF)
            data.append(socket->read(2));
        m_receivedData = data;
    } catch (const USBResult &failure) {
        return failure;
    }
    return USBResult();
}

qint32 BootloaderCommRequest::id() const
{
    return m_id;
}

void BootloaderCommRequest::setResult(const USBResult &result)
{
    QMutexLocker locker(&m_mutex);
    m_result = result;
    m_hasResult = true;
}

bool BootloaderCommRequest::hasResult() const
{
    QMutexLocker locker(&m_mutex);
    return m_hasResult;
}

USBResult BootloaderCommRequest::result() const
{
    return m_result;
}

bool BootloaderCommRequest::isPageIntact() const
{
    if (m_pageSize == 0 || m_receivedData.size() != m_pageSize + kPageCheckLength)
        return false;
    return static_cast<quint8>(m_receivedData.at(m_receivedData.size() - 1)) == kPageCheckByte
        && static_cast<quint8>(m_receivedData.at(m_receivedData.size() - 2)) == kPageCheckByte;
}
