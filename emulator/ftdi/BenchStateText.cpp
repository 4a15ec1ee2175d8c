#include "BenchStateText.h"

#include "StateText.h"

#include <stdexcept>

namespace VelmorEmulator {

namespace {
const std::string s_endLine = "end\n";
} // namespace

using velmor_firmware::StateText;

std::string BenchStateText::compose(const std::string &bench, const std::vector<std::string> &unitTexts)
{
    StateText header(s_formatLine);
    header.add("bench", StateText::hex(bench));
    header.add("units", static_cast<int64_t>(unitTexts.size()));
    std::string text = header.text();
    for (const std::string &unit : unitTexts)
        text += unit;
    return text + s_endLine;
}

std::optional<std::vector<std::string>> BenchStateText::unitTexts(const std::string &wholeText, const std::string &bench,
                                                                  size_t unitCount, std::string *problem)
{
    std::string ignored;
    std::string &why = problem != nullptr ? *problem : ignored;
    if (wholeText.size() < s_endLine.size() + 1 || wholeText.compare(wholeText.size() - s_endLine.size() - 1, std::string::npos, "\n" + s_endLine) != 0) {
        why = wholeText.empty() ? "it is empty" : "it is cut short (its last line is not \"end\")";
        return std::nullopt;
    }
    const std::string text = wholeText.substr(0, wholeText.size() - s_endLine.size());
    const std::string unitStart = std::string(StateText::s_formatLine) + "\n";
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t next = text.find("\n" + unitStart, start);
        if (next != std::string::npos)
            ++next;
        parts.push_back(text.substr(start, next == std::string::npos ? std::string::npos : next - start));
        if (next == std::string::npos)
            break;
        start = next;
    }
    const std::optional<StateText> header = StateText::parse(parts.front(), s_formatLine);
    try {
        if (!header)
            why = "it is not an emulator state file of this version";
        else if (StateText::textOfHex(header->value("bench")) != bench)
            why = "it was written for another bench";
        else if (header->number("units", 0, 1 << 16) != static_cast<int64_t>(unitCount) || parts.size() != unitCount + 1)
            why = "its units are not those of the bench";
        else
            why.clear();
    } catch (const std::exception &) {
        why = "its first lines are damaged";
    }
    if (!why.empty())
        return std::nullopt;
    parts.erase(parts.begin());
    return parts;
}

} // namespace VelmorEmulator
