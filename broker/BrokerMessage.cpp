#include "BrokerMessage.h"

namespace {

constexpr size_t kHeaderSize = 3;

void appendLittleEndian(std::string &out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t readLittleEndian(const char *data, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<uint8_t>(data[i]);
    return value;
}

bool knownKind(uint8_t kind)
{
    return kind >= BrokerMessage::Hello && kind <= BrokerMessage::Clients;
}

// Reads one field at `offset`, moving it past the field; false when the field is malformed.
bool readField(const char *data, size_t size, size_t &offset, BrokerField &field)
{
    if (offset >= size)
        return false;
    const auto type = static_cast<uint8_t>(data[offset++]);
    switch (type) {
    case BrokerField::Null:
        field = BrokerField::null();
        return true;
    case BrokerField::Integer:
        if (size - offset < 8)
            return false;
        field = BrokerField::of(static_cast<int64_t>(readLittleEndian(data + offset, 8)));
        offset += 8;
        return true;
    case BrokerField::Bytes: {
        if (size - offset < 4)
            return false;
        const uint64_t length = readLittleEndian(data + offset, 4);
        offset += 4;
        if (length > size - offset)
            return false;
        field = BrokerField::ofBytes(std::string(data + offset, static_cast<size_t>(length)));
        offset += static_cast<size_t>(length);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

BrokerField BrokerField::of(int64_t value)
{
    BrokerField field;
    field.type = Integer;
    field.integer = value;
    return field;
}

BrokerField BrokerField::ofBytes(std::string value)
{
    BrokerField field;
    field.type = Bytes;
    field.bytes = std::move(value);
    return field;
}

BrokerMessage::BrokerMessage(Kind kind, std::vector<BrokerField> fields)
    : m_kind(kind)
    , m_fields(std::move(fields))
{
}

std::string BrokerMessage::encode() const
{
    std::string body;
    body.push_back(static_cast<char>(m_kind));
    appendLittleEndian(body, m_fields.size(), 2);
    for (const BrokerField &field : m_fields) {
        body.push_back(static_cast<char>(field.type));
        if (field.type == BrokerField::Integer)
            appendLittleEndian(body, static_cast<uint64_t>(field.integer), 8);
        else if (field.type == BrokerField::Bytes) {
            appendLittleEndian(body, field.bytes.size(), 4);
            body += field.bytes;
        }
    }
    std::string message;
    appendLittleEndian(message, body.size(), 4);
    return message + body;
}

std::optional<BrokerMessage> BrokerMessage::decode(const char *data, size_t size)
{
    if (size < kHeaderSize || size > kLargestMessage || !knownKind(static_cast<uint8_t>(data[0])))
        return std::nullopt;
    BrokerMessage message(static_cast<Kind>(data[0]));
    const auto count = static_cast<size_t>(readLittleEndian(data + 1, 2));
    size_t offset = kHeaderSize;
    for (size_t i = 0; i < count; ++i) {
        BrokerField field;
        if (!readField(data, size, offset, field))
            return std::nullopt;
        message.add(std::move(field));
    }
    if (offset != size)
        return std::nullopt;
    return message;
}

std::optional<size_t> BrokerMessage::announcedLength(const char prefix[kLengthPrefix])
{
    const uint64_t length = readLittleEndian(prefix, 4);
    if (length < kHeaderSize || length > kLargestMessage)
        return std::nullopt;
    return static_cast<size_t>(length);
}
