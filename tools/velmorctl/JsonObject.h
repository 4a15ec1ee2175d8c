// Builds one JSON object, members in the order they are added, as one line of text.
#ifndef VELMORCTL_JSONOBJECT_H
#define VELMORCTL_JSONOBJECT_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class JsonObject
{
public:
    JsonObject &addText(const std::string &key, const std::string &value);
    JsonObject &addNumber(const std::string &key, int64_t value);
    JsonObject &addNumber(const std::string &key, double value);
    // A number with every significant digit it has (up to 15), not three decimals: a position in
    // a profile's unit, a number a person typed.
    JsonObject &addExactNumber(const std::string &key, double value);
    JsonObject &addBool(const std::string &key, bool value);
    JsonObject &addNull(const std::string &key);
    JsonObject &addObject(const std::string &key, const JsonObject &value);
    JsonObject &addArray(const std::string &key, const std::vector<JsonObject> &values);
    // A member whose value is JSON text already, on one line (as another JSON writer made it).
    JsonObject &addJson(const std::string &key, const std::string &json);
    // Adds every member of other after these.
    JsonObject &append(const JsonObject &other);

    bool empty() const { return m_members.empty(); }
    std::string text() const;

    static std::string arrayText(const std::vector<JsonObject> &values);
    // A JSON string: quotes, escapes, control characters as \u00XX, and bytes that are not
    // UTF-8 replaced by U+FFFD, so that any text the tool meets gives valid JSON.
    static std::string quoted(const std::string &text);

private:
    JsonObject &addRaw(const std::string &key, std::string json);

    std::vector<std::pair<std::string, std::string>> m_members;
};

#endif
