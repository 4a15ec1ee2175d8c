// The input: a mode byte, then the unit's bytes. Even modes: the information reply, read from
// the channel as the bootloader request reads it, then decoded. Odd modes: a page reply with
// its two check bytes, decoded as an information page when intact.
#include "BootloaderCommRequest.h"
#include "BootloaderInfo.h"
#include "DeviceInformation.h"
#include "FakeSocket.h"
#include "FuzzEntries.h"
#include "FuzzInput.h"

#include <boost/make_shared.hpp>

namespace {

constexpr int kEntriesOffset = 76;
constexpr int kEntryWidth = 25;

QString checkBootloaderInfo(const QByteArray &reply)
{
    BootloaderInfo info;
    info.pageSize = 0xDEADBEEF;
    info.flagBit = 0x7F;
    const bool accepted = BootloaderInfo::decode(reply, &info);
    const bool wellFormed = reply.size() == 2 || (reply.size() == 4 && static_cast<quint8>(reply.at(0)) == 0xFF);
    if (accepted != wellFormed)
        return QStringLiteral("an information reply of %1 bytes %2").arg(reply.size()).arg(accepted ? "accepted" : "refused");
    if (!accepted && (info.pageSize != 0xDEADBEEF || info.flagBit != 0x7F))
        return QStringLiteral("a refused information reply changed the record");
    if (accepted && (info.pageSize > 0xFFFF || info.flagBit > 1))
        return QStringLiteral("page size %1 or flag %2 out of range").arg(info.pageSize).arg(info.flagBit);
    return QString();
}

QString checkInformationReply(const QByteArray &sent)
{
    auto channel = boost::make_shared<FakeSocket>();
    channel->deviceSends(sent);
    BootloaderCommRequest request(0, BootloaderCommRequest::InformationCommand);
    if (!request.receiveRaw(channel).isOk())
        return QString();
    const QByteArray reply = request.replyData();
    if (reply.size() != 2 && reply.size() != 4)
        return QStringLiteral("an information reply read as %1 bytes").arg(reply.size());
    return checkBootloaderInfo(reply);
}

QString checkPage(const QByteArray &page)
{
    const DeviceInformation information = DeviceInformation::fromPage(page);
    if (!information.decoded) {
        if (information.valid || !information.name.isEmpty() || !information.entries.isEmpty())
            return QStringLiteral("an undecoded page left fields set");
        return QString();
    }
    if (page.size() < DeviceInformation::kMinimumPageSize)
        return QStringLiteral("a page of %1 bytes decoded").arg(page.size());
    if (information.name.size() > 40 || information.serialNumber.size() > 16)
        return QStringLiteral("a text longer than its field");
    if (information.entries.size() > std::max(0, (page.size() - kEntriesOffset) / kEntryWidth))
        return QStringLiteral("%1 entries from a page of %2 bytes").arg(information.entries.size()).arg(page.size());
    if (information.valid && !information.serialNumber.toLower().startsWith(QLatin1String("jx")))
        return QStringLiteral("serial number %1 accepted").arg(information.serialNumber);
    return QString();
}

QString checkPageReply(const QByteArray &reply)
{
    const quint32 pageSize = static_cast<quint32>(std::max(reply.size() - 2, 1));
    BootloaderCommRequest request(0, BootloaderCommRequest::ReadPageCommand, pageSize);
    request.setReplyData(reply);
    if (!request.isPageIntact())
        return QString();
    if (request.replyData() != reply.left(reply.size() - 2))
        return QStringLiteral("an intact page reply lost bytes");
    return checkPage(request.replyData());
}

} // namespace

QString FuzzEntries::deviceInformation(const QByteArray &bytes)
{
    FuzzInput input(bytes);
    const quint8 mode = input.byte();
    const QByteArray sent = input.rest();
    if (mode % 2 == 0) {
        const QString broken = checkInformationReply(sent);
        return broken.isEmpty() ? checkBootloaderInfo(sent) : broken;
    }
    const QString broken = checkPageReply(sent);
    return broken.isEmpty() ? checkPage(sent) : broken;
}
