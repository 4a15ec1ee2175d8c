// The unit's send side of the packet layer. A reply: 05, the request id (4 bytes LE), the status
// byte, the data length (2 bytes LE), the data. A stream packet: 07, the length (1 byte), the data.
#ifndef VELMOR_FIRMWARE_REPLYPACKET_H
#define VELMOR_FIRMWARE_REPLYPACKET_H

#include "Answer.h"

#include <cstdint>
#include <vector>

namespace velmor_firmware {

class ReplyPacket
{
public:
    static constexpr uint8_t s_replyType = 0x05;
    static constexpr uint8_t s_streamType = 0x07;

    static std::vector<uint8_t> reply(uint32_t id, const Answer &answer);
    // At most 255 data bytes; the rest is not sent.
    static std::vector<uint8_t> stream(const std::vector<uint8_t> &data);
};

} // namespace velmor_firmware

#endif
