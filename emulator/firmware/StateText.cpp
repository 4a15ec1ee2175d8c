#include "StateText.h"

#include <sstream>
#include <stdexcept>
#include <utility>

namespace velmor_firmware {

const char *const StateText::s_formatLine = "velmor-unit-state 1";

StateText::StateText(std::string formatLine)
    : m_formatLine(std::move(formatLine))
{
}

void StateText::add(const std::string &key, const std::string &value)
{
    m_lines.emplace_back(key, value);
}

void StateText::add(const std::string &key, int64_t number)
{
    add(key, std::to_string(number));
}

std::string StateText::text() const
{
    std::string text = m_formatLine + "\n";
    for (const auto &line : m_lines)
        text += line.first + "=" + line.second + "\n";
    return text;
}

std::optional<StateText> StateText::parse(const std::string &text, const std::string &formatLine)
{
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != formatLine)
        return std::nullopt;
    StateText state(formatLine);
    while (std::getline(lines, line)) {
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        state.add(line.substr(0, equals), line.substr(equals + 1));
    }
    return state;
}

std::string StateText::value(const std::string &key) const
{
    for (const auto &line : m_lines) {
        if (line.first == key)
            return line.second;
    }
    throw std::invalid_argument("missing " + key);
}

int64_t StateText::number(const std::string &key, int64_t lowest, int64_t highest) const
{
    return parseNumber(value(key), lowest, highest);
}

std::vector<std::string> StateText::values(const std::string &key) const
{
    std::vector<std::string> found;
    for (const auto &line : m_lines) {
        if (line.first == key)
            found.push_back(line.second);
    }
    return found;
}

std::string StateText::hex(const std::vector<uint8_t> &bytes)
{
    static const char s_digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += s_digits[byte >> 4];
        text += s_digits[byte & 0x0F];
    }
    return text;
}

std::string StateText::hex(const std::string &text)
{
    return hex(std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> StateText::bytesOfHex(const std::string &hex)
{
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("odd hex length");
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(parseNumber("0x" + hex.substr(i, 2), 0, 255)));
    return bytes;
}

std::string StateText::textOfHex(const std::string &hex)
{
    const std::vector<uint8_t> bytes = bytesOfHex(hex);
    return std::string(bytes.begin(), bytes.end());
}

int64_t StateText::parseNumber(const std::string &text, int64_t lowest, int64_t highest)
{
    size_t used = 0;
    const long long number = std::stoll(text, &used, 0);
    if (used != text.size() || number < lowest || number > highest)
        throw std::invalid_argument("bad number " + text);
    return number;
}

} // namespace velmor_firmware
