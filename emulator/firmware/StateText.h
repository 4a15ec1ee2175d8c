// The text form a unit's saved state takes: a first line naming the format, then one
// "key=value" line each; a key may repeat. Byte strings and texts are written in hexadecimal.
// Other saved states take the same form under a format line of their own.
#ifndef VELMOR_FIRMWARE_STATETEXT_H
#define VELMOR_FIRMWARE_STATETEXT_H

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmor_firmware {

class StateText
{
public:
    static const char *const s_formatLine;

    explicit StateText(std::string formatLine = s_formatLine);

    void add(const std::string &key, const std::string &value);
    void add(const std::string &key, int64_t number);
    std::string text() const;
    // Empty when the text is not of this format.
    static std::optional<StateText> parse(const std::string &text, const std::string &formatLine = s_formatLine);

    // The first value of `key`; these throw std::invalid_argument when it is missing or malformed.
    std::string value(const std::string &key) const;
    int64_t number(const std::string &key, int64_t lowest, int64_t highest) const;
    std::vector<std::string> values(const std::string &key) const;

    static std::string hex(const std::vector<uint8_t> &bytes);
    static std::string hex(const std::string &text);
    static std::vector<uint8_t> bytesOfHex(const std::string &hex);
    static std::string textOfHex(const std::string &hex);
    static int64_t parseNumber(const std::string &text, int64_t lowest, int64_t highest);

private:
    std::string m_formatLine;
    std::vector<std::pair<std::string, std::string>> m_lines;
};

} // namespace velmor_firmware

#endif
