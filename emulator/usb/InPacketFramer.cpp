#include "InPacketFramer.h"

#include <algorithm>

namespace velmor_usb {

size_t InPacketFramer::dataRoom(size_t requested)
{
    const size_t fullPackets = requested / kPacketSize;
    const size_t rest = requested % kPacketSize;
    return fullPackets * (kPacketSize - kStatusSize) + (rest > kStatusSize ? rest - kStatusSize : 0);
}

std::vector<uint8_t> InPacketFramer::frame(const std::vector<uint8_t> &data, const ModemStatus &status)
{
    std::vector<uint8_t> transfer;
    size_t taken = 0;
    do {
        transfer.push_back(status.modemLines);
        transfer.push_back(status.lineStatus);
        const size_t chunk = std::min(data.size() - taken, kPacketSize - kStatusSize);
        transfer.insert(transfer.end(), data.begin() + static_cast<long>(taken), data.begin() + static_cast<long>(taken + chunk));
        taken += chunk;
    } while (taken < data.size());
    return transfer;
}

} // namespace velmor_usb
