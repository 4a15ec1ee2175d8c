// The unit's receive side of the packet layer: host bytes in, whole request packets and lone raw
// command bytes out. A packet opens with 05, then the request id (4 bytes LE), the command code,
// the payload length (2 bytes LE) and the payload; any other byte between packets is a raw
// command byte.
#ifndef VELMOR_FIRMWARE_PACKETFRAMER_H
#define VELMOR_FIRMWARE_PACKETFRAMER_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace velmor_firmware {

struct HostFrame
{
    bool raw = false;
    uint32_t id = 0;
    uint8_t commandCode = 0;            // the raw byte itself for a raw frame
    std::vector<uint8_t> payload;
    std::vector<uint8_t> bytes;         // as received
};

class PacketFramer
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    static constexpr uint8_t s_packetType = 0x05;
    static constexpr size_t s_headerSize = 8;
    // A packet whose bytes stop coming for this long is abandoned, so that the next byte starts
    // afresh.
    static constexpr std::chrono::milliseconds s_interByteTimeout{50};

    // The bytes of the packet in progress, when it has timed out by `arrival` (then forgotten).
    std::optional<std::vector<uint8_t>> dropStale(TimePoint arrival);
    // One byte in; a frame when it completes one.
    std::optional<HostFrame> push(uint8_t byte, TimePoint arrival);
    // Forgets the packet in progress and gives back its bytes.
    std::vector<uint8_t> abandon();

private:
    std::optional<HostFrame> completeFrame();

    std::vector<uint8_t> m_pending;
    TimePoint m_lastByte;
};

} // namespace velmor_firmware

#endif
