#include "BootloaderInfo.h"

namespace {

quint32 bigEndian16(const QByteArray &data, int offset)
{
    return static_cast<quint32>(static_cast<quint8>(data.at(offset))) * 256u
         + static_cast<quint8>(data.at(offset + 1));
}

} // namespace

bool BootloaderInfo::decode(const QByteArray &rawData, BootloaderInfo *info)
{
    if (rawData.size() == 2) {
        info->pageSize = bigEndian16(rawData, 0);
        info->flagBit = 0;
        return true;
    }
    if (rawData.size() == 4 && static_cast<quint8>(rawData.at(0)) == 0xFF) {
        info->pageSize = bigEndian16(rawData, 1);
        info->flagBit = static_cast<quint8>(rawData.at(3)) & 1u;
        return true;
    }
    return false;
}
