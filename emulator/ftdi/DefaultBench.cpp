#include "DefaultBench.h"

#include <cstdlib>
#include <sstream>

namespace VelmorEmulator {

namespace {

UnitOnBus makeUnit(Chip chip, const std::string &serial, uint16_t firmwareMajor, uint16_t firmwareMinor)
{
    UnitOnBus unit;
    unit.chip = chip;
    unit.serial = serial;
    unit.firmware.firmwareMajor = firmwareMajor;
    unit.firmware.firmwareMinor = firmwareMinor;
    return unit;
}

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

} // namespace

std::vector<BenchItem> builtInBench()
{
    return {
        BenchItem::of(makeUnit(Chip::FT232R, "JXah00101", 2, 0)),
        BenchItem::of(makeUnit(Chip::FT232R, "JXah00102", 3, 0)),
        BenchItem::of(makeUnit(Chip::FT232H, "JXbh01001", 1, 0)),
        BenchItem::of(makeUnit(Chip::XSeries, "JXah02701", 1, 2)),
        // Listed as JXbh01001A and JXbh01001B: the letter makes the listed serial ten
        // characters long, so the library counts no hardware version for it.
        BenchItem::of(makeUnit(Chip::FT2232H, "JXbh01001", 1, 0)),
    };
}

std::vector<BenchItem> parseBench(const std::string &text)
{
    std::vector<BenchItem> items;
    for (const std::string &entry : split(text, ';')) {
        const std::vector<std::string> fields = split(entry, ':');
        Chip chip;
        if (fields.size() < 2 || !chipFromName(fields[0], &chip) || fields[1].empty())
            continue;
        UnitOnBus unit = makeUnit(chip, fields[1], 2, 1);
        if (fields.size() >= 3 && !parseFirmware(fields[2], &unit.firmware.firmwareMajor, &unit.firmware.firmwareMinor))
            continue;
        items.push_back(BenchItem::of(unit));
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
    if (variable != nullptr && *variable != '\0')
        return parseBench(variable);
    return builtInBench();
}

} // namespace VelmorEmulator
