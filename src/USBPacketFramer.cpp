#include "USBPacketFramer.h"

#include "Assert.h"
#include "LittleEndian.h"

QByteArray USBPacketFramer::requestPacket(const USBICommRequest &request)
{
    const QByteArray payload = request.payload();
    QByteArray packet;
    packet.reserve(kRequestHeaderSize + payload.size());
    LittleEndian::append8(packet, kRequestPacket);
    LittleEndian::append32(packet, static_cast<quint32>(request.id()));
    LittleEndian::append8(packet, request.commandCode());
    LittleEndian::append16(packet, static_cast<quint32>(payload.size()) & 0xFFFFu);
    packet.append(payload);
    return packet;
}

int USBPacketFramer::headerSize(quint8 type)
{
    switch (type) {
    case kRequestPacket: return kRequestHeaderSize;
    case kShortPacket: return kShortHeaderSize;
    default: return 0;
    }
}

USBPacketRecord USBPacketFramer::packetOf(const QByteArray &header)
{
    VELMOR_ASSERT(!header.isEmpty() && header.count() == headerSize(LittleEndian::read8(header, 0)));
    USBPacketRecord packet;
    packet.type = LittleEndian::read8(header, 0);
    if (packet.type == kRequestPacket) {
        packet.id = static_cast<qint32>(LittleEndian::read32(header, 1));
        packet.status = LittleEndian::read8(header, 5);
        packet.length = LittleEndian::read16(header, 6);
    } else {
        packet.length = LittleEndian::read8(header, 1);
    }
    return packet;
}
