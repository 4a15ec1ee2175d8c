// A library call sent to velmord: its arguments as message fields, and its out-values written
// back from the reply as the call made direct would write them. Internal to the exports.
#ifndef BROKERROUTE_H
#define BROKERROUTE_H

#include "BrokerClient.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>

namespace BrokerRoute {

// An out-value the call writes: sent as it stands (so that a value the call leaves alone stays),
// written back from the reply.
template <typename T>
struct Out
{
    T *value;
};
// A structure that starts with its size: sent whole when the size is the library's, else its
// size alone (the call then refuses it), and written back only when the reply carries it whole.
template <typename Record>
struct Sized
{
    Record *record;
};
// The settings arguments velmorExplainRefusal reads.
struct Arguments
{
    const int64_t *values;
    int32_t count;
};
// A text the call writes into the caller's buffer of `capacity` bytes.
struct Text
{
    char *buffer;
    uint32_t capacity;
};

constexpr int32_t kMostArguments = 16;

template <typename T, typename = std::enable_if_t<std::is_integral<T>::value>>
BrokerField field(T value)
{
    return BrokerField::of(static_cast<int64_t>(value));
}
inline BrokerField field(const char *text)
{
    return text == nullptr ? BrokerField::null() : BrokerField::ofBytes(std::string(text));
}
template <typename T>
BrokerField field(Out<T> out)
{
    return out.value == nullptr ? BrokerField::null() : BrokerField::of(static_cast<int64_t>(*out.value));
}
template <typename Record>
BrokerField field(Sized<Record> sized)
{
    if (sized.record == nullptr)
        return BrokerField::null();
    const size_t sent = sized.record->size == sizeof(Record) ? sizeof(Record) : sizeof(sized.record->size);
    return BrokerField::ofBytes(std::string(reinterpret_cast<const char *>(sized.record), sent));
}
inline BrokerField field(Arguments arguments)
{
    if (arguments.values == nullptr)
        return BrokerField::null();
    const int32_t sent = std::clamp(arguments.count, int32_t(0), kMostArguments);
    return BrokerField::ofBytes(std::string(reinterpret_cast<const char *>(arguments.values), size_t(sent) * sizeof(int64_t)));
}
inline BrokerField field(Text text)
{
    return text.buffer == nullptr ? BrokerField::null() : BrokerField::ofBytes(std::string());
}

// Reads the reply's next field into an out-value; the arguments that are not out-values have none.
template <typename T>
void writeBack(const BrokerMessage &, size_t &, T)
{
}
template <typename T>
void writeBack(const BrokerMessage &reply, size_t &next, Out<T> out)
{
    if (next >= reply.fields().size())
        return;
    const BrokerField &value = reply.fields()[next++];
    if (out.value != nullptr && value.type == BrokerField::Integer)
        *out.value = static_cast<T>(value.integer);
}
template <typename Record>
void writeBack(const BrokerMessage &reply, size_t &next, Sized<Record> sized)
{
    if (next >= reply.fields().size())
        return;
    const BrokerField &value = reply.fields()[next++];
    if (sized.record != nullptr && sized.record->size == sizeof(Record) && value.type == BrokerField::Bytes
        && value.bytes.size() == sizeof(Record))
        std::memcpy(static_cast<void *>(sized.record), value.bytes.data(), sizeof(Record));
}
inline void writeBack(const BrokerMessage &reply, size_t &next, Text text)
{
    if (next >= reply.fields().size())
        return;
    const BrokerField &value = reply.fields()[next++];
    if (text.buffer == nullptr || text.capacity == 0 || value.type != BrokerField::Bytes)
        return;
    const size_t length = std::min<size_t>(value.bytes.size(), text.capacity - 1);
    std::memcpy(text.buffer, value.bytes.data(), length);
    text.buffer[length] = '\0';
}

// The call's result code when it went to velmord: the reply's, or `failureCode` when velmord
// went away during the call. Nothing when the call is to go direct.
template <typename... Args>
std::optional<int32_t> routed(BrokerFunction function, int32_t failureCode, Args... arguments)
{
    if (!BrokerClient::routes())
        return std::nullopt;
    BrokerMessage reply;
    switch (BrokerClient::call(function, {field(arguments)...}, &reply)) {
    case BrokerClient::Outcome::Unreachable:
        return std::nullopt;
    case BrokerClient::Outcome::Lost:
        return failureCode;
    case BrokerClient::Outcome::Replied:
        break;
    }
    [[maybe_unused]] size_t next = 1;
    (writeBack(reply, next, arguments), ...);
    return static_cast<int32_t>(reply.fields()[0].integer);
}

} // namespace BrokerRoute

#endif // BROKERROUTE_H
