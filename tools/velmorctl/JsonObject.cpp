#include "JsonObject.h"

#include <cmath>
#include <cstdio>

namespace {

// The length of the UTF-8 sequence starting at text[at], or 0 when it is not well-formed.
size_t utf8SequenceLength(const std::string &text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

void appendEscaped(std::string *out, unsigned char c)
{
    switch (c) {
    case '"': *out += "\\\""; return;
    case '\\': *out += "\\\\"; return;
    case '\n': *out += "\\n"; return;
    case '\r': *out += "\\r"; return;
    case '\t': *out += "\\t"; return;
    default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        *out += escape;
    } else {
        *out += static_cast<char>(c);
    }
}

} // namespace

JsonObject &JsonObject::addText(const std::string &key, const std::string &value)
{
    return addRaw(key, quoted(value));
}

JsonObject &JsonObject::addNumber(const std::string &key, int64_t value)
{
    return addRaw(key, std::to_string(value));
}

JsonObject &JsonObject::addNumber(const std::string &key, double value)
{
    if (!std::isfinite(value))
        return addNull(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return addRaw(key, text);
}

JsonObject &JsonObject::addExactNumber(const std::string &key, double value)
{
    if (!std::isfinite(value))
        return addNull(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return addRaw(key, text);
}

JsonObject &JsonObject::addBool(const std::string &key, bool value)
{
    return addRaw(key, value ? "true" : "false");
}

JsonObject &JsonObject::addNull(const std::string &key)
{
    return addRaw(key, "null");
}

JsonObject &JsonObject::addObject(const std::string &key, const JsonObject &value)
{
    return addRaw(key, value.text());
}

JsonObject &JsonObject::addJson(const std::string &key, const std::string &json)
{
    return addRaw(key, json);
}

JsonObject &JsonObject::addArray(const std::string &key, const std::vector<JsonObject> &values)
{
    return addRaw(key, arrayText(values));
}

JsonObject &JsonObject::append(const JsonObject &other)
{
    m_members.insert(m_members.end(), other.m_members.begin(), other.m_members.end());
    return *this;
}

std::string JsonObject::text() const
{
    std::string text = "{";
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (i > 0)
            text += ",";
        text += quoted(m_members[i].first) + ":" + m_members[i].second;
    }
    return text + "}";
}

std::string JsonObject::arrayText(const std::vector<JsonObject> &values)
{
    std::string text = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += ",";
        text += values[i].text();
    }
    return text + "]";
}

std::string JsonObject::quoted(const std::string &text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            appendEscaped(&out, c);
            ++i;
            continue;
        }
        const size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out + "\"";
}

JsonObject &JsonObject::addRaw(const std::string &key, std::string json)
{
    m_members.emplace_back(key, std::move(json));
    return *this;
}
