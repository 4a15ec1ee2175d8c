// Little-endian fields of the device's configuration records: appends keep the low 8, 16 or 32
// bits, reads take unsigned values from a byte offset the caller has checked.
#ifndef LITTLEENDIAN_H
#define LITTLEENDIAN_H

#include <QByteArray>

namespace LittleEndian {

inline void append8(QByteArray &bytes, quint32 value)
{
    bytes.append(static_cast<char>(value & 0xFFu));
}

inline void append16(QByteArray &bytes, quint32 value)
{
    append8(bytes, value);
    append8(bytes, value >> 8);
}

inline void append32(QByteArray &bytes, quint32 value)
{
    append16(bytes, value);
    append16(bytes, value >> 16);
}

inline quint8 read8(const QByteArray &bytes, int offset)
{
    return static_cast<quint8>(bytes.at(offset));
}

inline quint16 read16(const QByteArray &bytes, int offset)
{
    return static_cast<quint16>(read8(bytes, offset) | (read8(bytes, offset + 1) << 8));
}

inline quint32 read32(const QByteArray &bytes, int offset)
{
    return static_cast<quint32>(read16(bytes, offset)) | (static_cast<quint32>(read16(bytes, offset + 2)) << 16);
}

} // namespace LittleEndian

#endif // LITTLEENDIAN_H
