// The packet format of the unit's command line, on its own: a request goes out as a type-0x05
// packet (type, 32-bit id, command code, 16-bit payload length, payload); the unit sends type-0x05
// packets (type, 32-bit id, status, 16-bit length: an 8-byte header) and type-0x07 packets
// (type, 8-bit length: a 2-byte header), each followed by its data. Little-endian throughout.
#ifndef USBPACKETFRAMER_H
#define USBPACKETFRAMER_H

#include "USBICommRequest.h"
#include "USBPacketRecord.h"

#include <QByteArray>

class USBPacketFramer
{
public:
    static constexpr quint8 kRequestPacket = 0x05;
    static constexpr quint8 kShortPacket = 0x07;
    static constexpr int kRequestHeaderSize = 8;
    static constexpr int kShortHeaderSize = 2;

    // The bytes of a request packet.
    static QByteArray requestPacket(const USBICommRequest &request);
    // The whole header's size for a packet starting with `type`; 0 for a type the unit never sends.
    static int headerSize(quint8 type);
    // The packet's type, id, status and data length from its whole header.
    static USBPacketRecord packetOf(const QByteArray &header);
};

#endif // USBPACKETFRAMER_H
