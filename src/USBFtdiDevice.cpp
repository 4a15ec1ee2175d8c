#include "USBFtdiDevice.h"

#include "Assert.h"
#include "FtdiLibraryLoader.h"
#include "USBFtdiBufferedSocket.h"
#include "USBFtdiEeprom.h"
#include "USBFtdiSocket.h"

#include <QMap>
#include <cstring>
#include <vector>

namespace {

constexpr ULONG kFt2232hId = 0x04036010;

// A broken driver could report any count; no bus carries more interfaces than this.
constexpr DWORD kMostListedInterfaces = 4096;

struct ListedInterface
{
    quint32 index;
    ULONG type;
    ULONG id;
    ULONG locationId;
    bool open;
    QString serialNumber;
    QString description;
};

// The node's texts need not be terminated within their fields.
QString boundedText(const char *text, size_t capacity)
{
    size_t length = 0;
    while (length < capacity && text[length] != '\0')
        ++length;
    return QString::fromLatin1(text, static_cast<int>(length));
}

std::vector<FT_DEVICE_LIST_INFO_NODE> fetchNodes()
{
    DWORD count = 0;
    if (ftdi().FT_CreateDeviceInfoList(&count) != FT_OK || count == 0)
        return {};
    count = std::min(count, kMostListedInterfaces);
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    std::memset(nodes.data(), 0, nodes.size() * sizeof(FT_DEVICE_LIST_INFO_NODE));
    DWORD fetched = count;
    ftdi().FT_GetDeviceInfoList(nodes.data(), &fetched);
    // The bus may have changed between the two calls: keep only what both agree on.
    nodes.resize(std::min(count, fetched));
    return nodes;
}

// Interfaces keyed by location ID; an FT2232H's second interface joins the group of the
// interface listed before it.
QMap<qint32, QList<ListedInterface>> groupByLocation(const std::vector<FT_DEVICE_LIST_INFO_NODE> &nodes)
{
    QMap<qint32, QList<ListedInterface>> groups;
    int ft2232hSeen = 0;
    qint32 previousKey = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const FT_DEVICE_LIST_INFO_NODE &node = nodes[i];
        if (node.ID == 0)
            continue;
        const ListedInterface listed{static_cast<quint32>(i), node.Type, node.ID, node.LocId,
                                     (node.Flags & FT_FLAGS_OPENED) != 0,
                                     boundedText(node.SerialNumber, sizeof node.SerialNumber),
                                     boundedText(node.Description, sizeof node.Description)};
        qint32 key = static_cast<qint32>(node.LocId);
        if (node.ID == kFt2232hId && ft2232hSeen++ % 2 == 1)
            key = previousKey;
        groups[key].append(listed);
        previousKey = key;
    }
    return groups;
}

QList<USBISocketPtr> ft2232hChannels(const QList<ListedInterface> &group)
{
    QMap<QChar, ListedInterface> byLetter;
    for (const ListedInterface &listed : group) {
        if (!listed.serialNumber.isEmpty())
            byLetter.insert(listed.serialNumber.back(), listed);
    }
    QList<USBISocketPtr> channels;
    if (byLetter.contains(QLatin1Char('B')))
        channels.append(USBISocketPtr(new USBFtdiSocket(byLetter.value(QLatin1Char('B')).index, true)));
    if (byLetter.contains(QLatin1Char('A')))
        channels.append(USBISocketPtr(
            new USBFtdiBufferedSocket(byLetter.value(QLatin1Char('A')).index, USBFtdiDevice::kDataInterfaceCapacity)));
    return channels;
}

USBDevicePtr deviceFromGroup(const QList<ListedInterface> &group)
{
    QList<USBISocketPtr> channels;
    const ListedInterface &first = group.first();
    if (first.type != FT_DEVICE_2232H) {
        if (group.size() != 1)
            return USBDevicePtr();
        channels.append(USBISocketPtr(new USBFtdiSocket(first.index)));
    } else {
        if (group.size() != 2)
            return USBDevicePtr();
        channels = ft2232hChannels(group);
    }
    // A unit whose interfaces carry neither letter has no channel to talk over.
    if (channels.isEmpty())
        return USBDevicePtr();
    boost::shared_ptr<USBFtdiDevice> device(new USBFtdiDevice(channels));
    device->usbId = first.id;
    device->serialNumber = first.serialNumber;
    device->description = first.description;
    device->chipType = first.type;
    device->locationId = first.locationId;
    for (const ListedInterface &listed : group)
        device->listedOpen = device->listedOpen || listed.open;
    return device;
}

} // namespace

USBFtdiDevice::USBFtdiDevice(const QList<USBISocketPtr> &sockets)
    : m_sockets(sockets)
{
}

void USBFtdiDevice::resetAll()
{
    for (const USBISocketPtr &socket : m_sockets)
        socket->resetAndClose();
}

void USBFtdiDevice::purgeAll()
{
    for (const USBISocketPtr &socket : m_sockets)
        socket->purge();
}

void USBFtdiDevice::closeAll()
{
    for (const USBISocketPtr &socket : m_sockets)
        socket->close();
}

QList<USBISocketPtr> USBFtdiDevice::sockets() const
{
    return m_sockets;
}

USBISocketPtr USBFtdiDevice::socket(qint32 index) const
{
    VELMOR_ASSERT(index < m_sockets.count());
    return m_sockets.at(index);
}

USBISocketPtr USBFtdiDevice::mainSocket() const
{
    VELMOR_ASSERT(!m_sockets.isEmpty());
    return m_sockets.first();
}

QList<USBISocketPtr> USBFtdiDevice::secondarySockets() const
{
    return m_sockets.mid(1);
}

void USBFtdiDevice::applyTimeoutsAll()
{
    for (const USBISocketPtr &socket : m_sockets)
        socket->applyTimeouts();
}

void USBFtdiDevice::applyProtocolTimeoutsAll()
{
    for (const USBISocketPtr &socket : m_sockets)
        socket->applyProtocolTimeouts();
}

USBResult USBFtdiDevice::programEeprom(const USBEepromSettings &settings)
{
    return USBFtdiEeprom::program(mainSocket()->deviceIndex(), settings);
}

USBDevicePtr USBFtdiDevice::clone() const
{
    return USBDevicePtr(new USBFtdiDevice(*this));
}

QList<USBDevicePtr> USBFtdiDevice::enumerate(bool ownDevicesOnly)
{
    QList<USBDevicePtr> devices;
    const auto groups = groupByLocation(fetchNodes());
    for (const QList<ListedInterface> &group : groups) {
        const USBDevicePtr device = deviceFromGroup(group);
        if (!device)
            continue;
        if (ownDevicesOnly && !device->serialNumber.startsWith(QLatin1String("JX")))
            continue;
        devices.append(device);
    }
    return devices;
}
