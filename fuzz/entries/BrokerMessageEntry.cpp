// The input: a message from a client to velmord, after its length prefix. What decodes must
// encode to the same bytes, and velmord's check of a call's fields against the function it
// names must take any decoded message.
#include "BrokerMessage.h"
#include "CallDispatcher.h"
#include "FuzzEntries.h"

QString FuzzEntries::brokerMessage(const QByteArray &bytes)
{
    const std::optional<BrokerMessage> message = BrokerMessage::decode(bytes.constData(), size_t(bytes.size()));
    if (!message)
        return QString();
    const std::string encoded = message->encode();
    if (encoded.size() != size_t(bytes.size()) + BrokerMessage::kLengthPrefix
        || encoded.compare(BrokerMessage::kLengthPrefix, std::string::npos, bytes.constData(), size_t(bytes.size())) != 0)
        return QStringLiteral("a decoded message encodes to other bytes");
    const std::optional<size_t> announced = BrokerMessage::announcedLength(encoded.data());
    if (!announced || *announced != size_t(bytes.size()))
        return QStringLiteral("the length prefix of an encoded message is refused");
    CallDispatcher::fitsAFunction(*message);
    return QString();
}
