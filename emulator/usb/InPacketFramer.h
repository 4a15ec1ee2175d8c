// The FT232R's bulk IN framing: every packet of up to 64 bytes opens with the two modem-status
// bytes (modem lines, then line status), data follows in the 62 bytes left. A packet with no
// data still carries the two status bytes; that is how the chip answers when its latency timer
// runs out with nothing to send.
#ifndef VELMOR_USB_INPACKETFRAMER_H
#define VELMOR_USB_INPACKETFRAMER_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmor_usb {

struct ModemStatus
{
    // Bit 0 is always set; CTS (0x10) and DSR (0x20) asserted, as a unit holding its lines ready.
    uint8_t modemLines = 0x31;
    // Transmitter holding register and shifter empty.
    uint8_t lineStatus = 0x60;
};

class InPacketFramer
{
public:
    static constexpr size_t kPacketSize = 64;
    static constexpr size_t kStatusSize = 2;

    // How many data bytes fit in a transfer of `requested` bytes.
    static size_t dataRoom(size_t requested);
    // The transfer carrying `data` (at most dataRoom of the requested size), split into packets
    // each led by the status bytes; at least one packet.
    static std::vector<uint8_t> frame(const std::vector<uint8_t> &data, const ModemStatus &status);
};

} // namespace velmor_usb

#endif
