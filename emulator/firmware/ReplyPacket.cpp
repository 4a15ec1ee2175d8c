#include "ReplyPacket.h"

#include "ByteOrder.h"

#include <algorithm>

namespace velmor_firmware {

std::vector<uint8_t> ReplyPacket::reply(uint32_t id, const Answer &answer)
{
    std::vector<uint8_t> bytes{s_replyType};
    byte_order::appendLittle32(bytes, id);
    bytes.push_back(answer.status);
    byte_order::appendLittle16(bytes, static_cast<uint16_t>(answer.data.size()));
    bytes.insert(bytes.end(), answer.data.begin(), answer.data.end());
    return bytes;
}

std::vector<uint8_t> ReplyPacket::stream(const std::vector<uint8_t> &data)
{
    const size_t length = std::min<size_t>(data.size(), 255);
    std::vector<uint8_t> bytes{s_streamType, static_cast<uint8_t>(length)};
    bytes.insert(bytes.end(), data.begin(), data.begin() + static_cast<long>(length));
    return bytes;
}

} // namespace velmor_firmware
