// The messages between the library and velmord, the program that owns the units and serves
// every program on the machine. A message is a kind and a list of fields; a field is null, a
// signed 64-bit integer, or bytes. On the wire: a 4-byte little-endian length of what follows
// (at most kLargestMessage), the kind byte, a 2-byte field count, then per field a type byte
// (0 null, 1 integer: 8 bytes, 2 bytes: a 4-byte length and the bytes). Anything else, or
// bytes left over, is a malformed message.
#ifndef BROKERMESSAGE_H
#define BROKERMESSAGE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct BrokerField
{
    enum Type : uint8_t { Null = 0, Integer = 1, Bytes = 2 };
    Type type = Null;
    int64_t integer = 0;
    std::string bytes;

    static BrokerField null() { return BrokerField(); }
    static BrokerField of(int64_t value);
    static BrokerField ofBytes(std::string value);
};

class BrokerMessage
{
public:
    enum Kind : uint8_t {
        Hello = 1,    // client: protocol version, session token, pid, program name
        Welcome = 2,  // velmord: protocol version, its instance number
        Call = 3,     // client: function number, then the function's arguments
        Reply = 4,    // velmord: result code, then the out-values
        Clients = 5,  // client: who is connected; velmord answers with Reply: code, then per
                      // client uid, pid and command
    };
    static constexpr uint32_t kProtocolVersion = 1;
    static constexpr size_t kLargestMessage = 64 * 1024;
    static constexpr size_t kLengthPrefix = 4;

    BrokerMessage() = default;
    explicit BrokerMessage(Kind kind, std::vector<BrokerField> fields = {});

    Kind kind() const { return m_kind; }
    const std::vector<BrokerField> &fields() const { return m_fields; }
    void add(BrokerField field) { m_fields.push_back(std::move(field)); }

    // The whole message with its length prefix.
    std::string encode() const;
    // The message after the length prefix; nothing when it is malformed.
    static std::optional<BrokerMessage> decode(const char *data, size_t size);
    // The length a prefix announces; nothing beyond kLargestMessage or below the smallest message.
    static std::optional<size_t> announcedLength(const char prefix[kLengthPrefix]);

private:
    Kind m_kind = Hello;
    std::vector<BrokerField> m_fields;
};

#endif // BROKERMESSAGE_H
