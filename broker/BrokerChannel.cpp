#include "BrokerChannel.h"

#include <algorithm>

std::optional<BrokerMessage> BrokerChannel::receive(int timeoutMs, Failure *failure)
{
    Failure ignored;
    Failure &why = failure != nullptr ? *failure : ignored;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    char prefix[BrokerMessage::kLengthPrefix];
    why = readExactly(prefix, sizeof prefix, deadline);
    if (why != Failure::None)
        return std::nullopt;
    const std::optional<size_t> length = BrokerMessage::announcedLength(prefix);
    if (!length) {
        why = Failure::Malformed;
        return std::nullopt;
    }
    std::string body(*length, '\0');
    why = readExactly(&body[0], body.size(), deadline);
    if (why != Failure::None)
        return std::nullopt;
    std::optional<BrokerMessage> message = BrokerMessage::decode(body.data(), body.size());
    if (!message)
        why = Failure::Malformed;
    return message;
}
