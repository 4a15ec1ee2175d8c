#include "DefaultBench.h"

#include "Diagnostics.h"

#include <cstdlib>
#include <sstream>

namespace VelmorEmulator {

namespace {

const std::pair<const char *, Chip> kChips[] = {
    {"FT232R", Chip::FT232R}, {"FT2232H", Chip::FT2232H}, {"FT232H", Chip::FT232H},
    {"XSERIES", Chip::XSeries}, {"FT4232H", Chip::FT4232H},
};

const char *nameOfChip(Chip chip)
{
    for (const auto &entry : kChips) {
        if (chip == entry.second)
            return entry.first;
    }
    return "CHIP";
}

bool chipFromName(const std::string &name, Chip *chip)
{
    for (const auto &entry : kChips) {
        if (name == entry.first) {
            *chip = entry.second;
            return true;
        }
    }
    return false;
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

// D2XX lists at most 15 characters of a serial number; an FT2232H's interfaces add a letter.
constexpr size_t s_longestSerial = 15;

std::string trimmed(const std::string &text)
{
    const char *const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Empty when the serial number can be listed as it is; else why not.
std::string serialProblem(const std::string &serial, Chip chip)
{
    if (serial.empty())
        return "the serial number is empty";
    const size_t longest = chip == Chip::FT2232H ? s_longestSerial - 1 : s_longestSerial;
    if (serial.size() > longest)
        return "the serial number '" + serial + "' is longer than " + std::to_string(longest) + " characters";
    for (char c : serial) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F)
            return "the serial number '" + serial + "' holds a blank or a control character";
    }
    return std::string();
}

std::string chipNames()
{
    std::string names;
    for (const auto &entry : kChips)
        names += std::string(names.empty() ? "" : ", ") + entry.first;
    return names;
}

bool parseFirmware(const std::string &text, uint16_t *major, uint16_t *minor)
{
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size())
        return false;
    char *end = nullptr;
    const unsigned long parsedMajor = std::strtoul(text.c_str(), &end, 10);
    if (end != text.c_str() + dot)
        return false;
    const unsigned long parsedMinor = std::strtoul(text.c_str() + dot + 1, &end, 10);
    if (*end != '\0' || parsedMajor > 0xFFFF || parsedMinor > 0xFFFF)
        return false;
    *major = static_cast<uint16_t>(parsedMajor);
    *minor = static_cast<uint16_t>(parsedMinor);
    return true;
}

// Empty when the entry gives a unit; else why it does not.
std::string parseEntry(const std::string &entry, UnitOnBus *unit)
{
    const std::vector<std::string> fields = split(entry, ':');
    if (fields.size() < 2 || fields.size() > 3 || entry.back() == ':')
        return "it is not CHIP:SERIAL or CHIP:SERIAL:FIRMWARE";
    Chip chip;
    if (!chipFromName(fields[0], &chip))
        return "'" + fields[0] + "' is no chip (" + chipNames() + ")";
    const std::string problem = serialProblem(fields[1], chip);
    if (!problem.empty())
        return problem;
    *unit = UnitOnBus::of(chip, fields[1], 2, 1);
    if (fields.size() == 3 && !parseFirmware(fields[2], &unit->firmware.firmwareMajor, &unit->firmware.firmwareMinor))
        return "the firmware '" + fields[2] + "' is not MAJOR.MINOR (each 0 to 65535)";
    return std::string();
}

} // namespace

std::vector<BenchItem> builtInBench()
{
    return {
        BenchItem::of(UnitOnBus::of(Chip::FT232R, "JXah00101", 2, 0)),
        BenchItem::of(UnitOnBus::of(Chip::FT232R, "JXah00102", 3, 0)),
        BenchItem::of(UnitOnBus::of(Chip::FT232H, "JXbh01001", 1, 0)),
        BenchItem::of(UnitOnBus::of(Chip::XSeries, "JXah02701", 1, 2)),
        // Listed as JXbh01001A and JXbh01001B: the letter makes the listed serial ten
        // characters long, so the library counts no hardware version for it.
        BenchItem::of(UnitOnBus::of(Chip::FT2232H, "JXbh01001", 1, 0)),
    };
}

std::vector<BenchItem> parseBench(const std::string &text, std::vector<std::string> *rejections)
{
    std::vector<BenchItem> items;
    for (const std::string &field : split(text, ';')) {
        const std::string entry = trimmed(field);
        if (entry.empty())
            continue;
        UnitOnBus unit;
        const std::string problem = parseEntry(entry, &unit);
        if (problem.empty())
            items.push_back(BenchItem::of(unit));
        else if (rejections != nullptr)
            rejections->push_back("bench entry '" + entry + "' left out: " + problem);
    }
    return items;
}

std::string benchText(const std::vector<BenchItem> &items)
{
    std::string text;
    for (const BenchItem &item : items) {
        if (!text.empty())
            text += ';';
        if (!item.isUnit) {
            text += "BARE:" + item.bare.serial;
            continue;
        }
        text += std::string(nameOfChip(item.unit.chip)) + ":" + item.unit.serial + ":"
                + std::to_string(item.unit.firmware.firmwareMajor) + "." + std::to_string(item.unit.firmware.firmwareMinor);
    }
    return text;
}

std::vector<BenchItem> defaultBench()
{
    const char *variable = std::getenv("VELMOR_EMULATOR_BENCH");
    if (variable == nullptr || *variable == '\0')
        return builtInBench();
    std::vector<std::string> rejections;
    const std::vector<BenchItem> items = parseBench(variable, &rejections);
    for (const std::string &rejection : rejections)
        Diagnostics::report("VELMOR_EMULATOR_BENCH: " + rejection);
    if (items.empty())
        Diagnostics::report("VELMOR_EMULATOR_BENCH gives no unit: the bench is empty");
    return items;
}

} // namespace VelmorEmulator
