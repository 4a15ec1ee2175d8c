#include "USBFtdiBufferedSocket.h"

USBFtdiBufferedSocket::USBFtdiBufferedSocket(quint32 deviceIndex, quint32 bufferCapacity)
    : USBFtdiSocket(deviceIndex)
    , m_bufferCapacity(bufferCapacity)
{
}

USBISocketPtr USBFtdiBufferedSocket::clone() const
{
    return USBISocketPtr(new USBFtdiBufferedSocket(*this));
}
