// The text of the state file: a first line naming the format, the bench it belongs to (its text
// in hexadecimal), the number of units, then each unit's own saved state in bench order, every
// one opening with the unit state's format line, and a last line "end" that shows the file whole.
#ifndef VELMOR_EMULATOR_BENCHSTATETEXT_H
#define VELMOR_EMULATOR_BENCHSTATETEXT_H

#include <optional>
#include <string>
#include <vector>

namespace VelmorEmulator {

class BenchStateText
{
public:
    static constexpr const char *s_formatLine = "velmor-emulator-state 1";

    static std::string compose(const std::string &bench, const std::vector<std::string> &unitTexts);
    // The units' texts when `text` is of this format, for `bench`, with `unitCount` units; else
    // none, and what is wrong with it in `problem` when given.
    static std::optional<std::vector<std::string>> unitTexts(const std::string &text, const std::string &bench,
                                                             size_t unitCount, std::string *problem = nullptr);
};

} // namespace VelmorEmulator

#endif
