// The bootloader's answer to the information command: the size of its pages and a flag.
#ifndef BOOTLOADERINFO_H
#define BOOTLOADERINFO_H

#include <QByteArray>

class BootloaderInfo
{
public:
    // The unit answers with b0 b1 (page size, big-endian) or FF b1 b2 b3 (page size in b1 b2,
    // flag in bit 0 of b3). Any other reply is refused: false, and *info is left as it was.
    static bool decode(const QByteArray &rawData, BootloaderInfo *info);

    quint32 pageSize = 0;
    quint8 flagBit = 0;
};

#endif // BOOTLOADERINFO_H
