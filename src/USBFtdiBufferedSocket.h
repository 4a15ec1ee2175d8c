// The data interface A of an FT2232H: bytes paced by grants (one zero byte allows the unit to
// send the next bufferCapacity bytes), read in blocks into the channel's own buffer.
#ifndef USBFTDIBUFFEREDSOCKET_H
#define USBFTDIBUFFEREDSOCKET_H

#include "USBFtdiSocket.h"

class USBFtdiBufferedSocket : public USBFtdiSocket
{
public:
    USBFtdiBufferedSocket(quint32 deviceIndex, quint32 bufferCapacity);

    USBISocketPtr clone() const override;

    quint32 bufferCapacity() const { return m_bufferCapacity; }

private:
    quint32 m_bufferCapacity;
};

#endif // USBFTDIBUFFEREDSOCKET_H
