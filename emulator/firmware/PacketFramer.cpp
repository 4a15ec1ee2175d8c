#include "PacketFramer.h"

#include "ByteOrder.h"

namespace velmor_firmware {

std::optional<std::vector<uint8_t>> PacketFramer::dropStale(TimePoint arrival)
{
    if (m_pending.empty() || arrival - m_lastByte <= s_interByteTimeout)
        return std::nullopt;
    return abandon();
}

std::optional<HostFrame> PacketFramer::push(uint8_t byte, TimePoint arrival)
{
    m_lastByte = arrival;
    if (m_pending.empty() && byte != s_packetType) {
        HostFrame frame;
        frame.raw = true;
        frame.commandCode = byte;
        frame.bytes = {byte};
        return frame;
    }
    m_pending.push_back(byte);
    return completeFrame();
}

std::vector<uint8_t> PacketFramer::abandon()
{
    std::vector<uint8_t> bytes;
    bytes.swap(m_pending);
    return bytes;
}

std::optional<HostFrame> PacketFramer::completeFrame()
{
    if (m_pending.size() < s_headerSize)
        return std::nullopt;
    const size_t payloadLength = byte_order::little16(m_pending, 6);
    if (m_pending.size() < s_headerSize + payloadLength)
        return std::nullopt;
    HostFrame frame;
    frame.id = byte_order::little32(m_pending, 1);
    frame.commandCode = m_pending[5];
    frame.payload.assign(m_pending.begin() + s_headerSize, m_pending.end());
    frame.bytes = abandon();
    return frame;
}

} // namespace velmor_firmware
