// A packet read from the device: its decoded header and its data.
#ifndef USBPACKETRECORD_H
#define USBPACKETRECORD_H

#include <QByteArray>

struct USBPacketRecord
{
    quint8 type = 0;
    qint32 id = 0;
    quint8 status = 0;
    qint32 length = 0;
    QByteArray data;
};

#endif // USBPACKETRECORD_H
