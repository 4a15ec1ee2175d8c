#include "PersistentBench.h"

#include "BenchStateText.h"
#include "Bus.h"
#include "Diagnostics.h"
#include "StateText.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace VelmorEmulator {

using velmor_firmware::StateText;

namespace {

// The lines of a unit's text that say how the unit is built.
std::string setupLinesOf(const std::string &unitText)
{
    std::istringstream lines(unitText);
    std::string line;
    std::string setup;
    while (std::getline(lines, line)) {
        if (line.compare(0, 6, "setup.") == 0)
            setup += line + "\n";
    }
    return setup;
}

struct Eeprom
{
    bool programmed = false;
    std::string serial;
    std::string description;
    uint16_t maxPower = 0;
    bool selfPowered = false;
};

// Throws std::invalid_argument when the lines are missing or out of range.
Eeprom eepromIn(const std::string &unitText)
{
    const std::optional<StateText> state = StateText::parse(unitText);
    if (!state)
        throw std::invalid_argument("no unit state");
    Eeprom eeprom;
    eeprom.programmed = state->number("eeprom.programmed", 0, 1) != 0;
    eeprom.serial = StateText::textOfHex(state->value("eeprom.serial"));
    eeprom.description = StateText::textOfHex(state->value("eeprom.description"));
    eeprom.maxPower = static_cast<uint16_t>(state->number("eeprom.maxPower", 0, 0xFFFF));
    eeprom.selfPowered = state->number("eeprom.selfPowered", 0, 1) != 0;
    return eeprom;
}

std::string eepromLines(const Eeprom &eeprom)
{
    return "eeprom.programmed=" + std::to_string(eeprom.programmed ? 1 : 0) + "\n"
           + "eeprom.serial=" + StateText::hex(eeprom.serial) + "\n"
           + "eeprom.description=" + StateText::hex(eeprom.description) + "\n"
           + "eeprom.maxPower=" + std::to_string(eeprom.maxPower) + "\n"
           + "eeprom.selfPowered=" + std::to_string(eeprom.selfPowered ? 1 : 0) + "\n";
}

} // namespace

PersistentBench::PersistentBench(Bus &bus, StateFile file, std::string benchText)
    : m_bus(bus)
    , m_file(std::move(file))
    , m_benchText(std::move(benchText))
    , m_knownTexts(bus.units().size())
    , m_changed(bus.units().size(), false)
{
    for (const auto &unit : bus.units())
        m_setupLines.push_back(setupLinesOf(unit->saveState()));
}

void PersistentBench::markChanged(int unitIndex)
{
    if (unitIndex >= 0 && static_cast<size_t>(unitIndex) < m_changed.size())
        m_changed[static_cast<size_t>(unitIndex)] = true;
}

// Whatever goes wrong with the file, the bench goes on working in this process.
void PersistentBench::synchronise(bool save)
{
    try {
        synchroniseWithFile(save);
    } catch (...) {
    }
}

void PersistentBench::synchroniseWithFile(bool save)
{
    std::vector<std::string> written;
    std::vector<bool> ownTexts;
    const bool updated = m_file.update([&](const std::optional<std::string> &fileText) -> std::optional<std::string> {
        const std::optional<std::vector<std::string>> fileTexts = adoptFrom(fileText);
        const bool anyChanged = std::find(m_changed.begin(), m_changed.end(), true) != m_changed.end();
        if (!save || !anyChanged)
            return std::nullopt;
        written = fileTexts ? *fileTexts : std::vector<std::string>(m_changed.size());
        ownTexts = fileTexts ? m_changed : std::vector<bool>(m_changed.size(), true);
        for (size_t unit = 0; unit < written.size(); ++unit) {
            if (ownTexts[unit])
                written[unit] = unitText(unit);
        }
        return BenchStateText::compose(m_benchText, written);
    });
    if (!updated)
        Diagnostics::report("state file '" + m_file.path() + "' cannot be used (" + m_file.problem()
                            + "): the units' state is not kept between processes");
    if (!updated || written.empty())
        return;
    for (size_t unit = 0; unit < written.size(); ++unit) {
        if (ownTexts[unit])
            m_knownTexts[unit] = written[unit];
    }
    m_changed.assign(m_changed.size(), false);
}

// A unit changed here or open here is this process's to save; the rest follow the file. A unit
// passed over keeps its known text, so that it follows the file once it is free again.
std::optional<std::vector<std::string>> PersistentBench::adoptFrom(const std::optional<std::string> &fileText)
{
    if (!fileText)
        return std::nullopt;
    std::string problem;
    const std::optional<std::vector<std::string>> texts = validUnitTexts(*fileText, &problem);
    if (!texts) {
        Diagnostics::report("state file '" + m_file.path() + "' is not used: " + problem
                            + "; the units start afresh, and the file is replaced at the next change");
        return std::nullopt;
    }
    for (size_t unit = 0; unit < texts->size(); ++unit) {
        if (!m_changed[unit] && !isOpenHere(unit) && (*texts)[unit] != m_knownTexts[unit]) {
            adopt(unit, (*texts)[unit]);
            m_knownTexts[unit] = (*texts)[unit];
        }
    }
    return texts;
}

std::optional<std::vector<std::string>> PersistentBench::validUnitTexts(const std::string &fileText,
                                                                        std::string *problem) const
{
    std::optional<std::vector<std::string>> texts
        = BenchStateText::unitTexts(fileText, m_benchText, m_changed.size(), problem);
    if (!texts)
        return std::nullopt;
    for (size_t unit = 0; unit < texts->size(); ++unit) {
        if (!isValidUnitText(unit, (*texts)[unit])) {
            *problem = "the state of unit " + std::to_string(unit + 1) + " is damaged";
            return std::nullopt;
        }
    }
    return texts;
}

// Restored on a unit of its own first, so that a bad text leaves the bench's unit untouched.
bool PersistentBench::isValidUnitText(size_t unit, const std::string &text) const
{
    if (setupLinesOf(text) != m_setupLines[unit])
        return false;
    try {
        eepromIn(text);
        velmor_firmware::Unit trial(m_bus.units()[unit]->setup());
        return trial.restoreState(text);
    } catch (const std::exception &) {
        return false;
    }
}

void PersistentBench::adopt(size_t unit, const std::string &text)
{
    m_bus.units()[unit]->restoreState(text);
    const Eeprom eeprom = eepromIn(text);
    const size_t interface = firstInterfaceOf(unit);
    if (eeprom.programmed && interface < m_bus.interfaces().size())
        m_bus.programIdentity(m_bus.interfaces()[interface], eeprom.serial, eeprom.description, eeprom.maxPower,
                              eeprom.selfPowered);
}

std::string PersistentBench::unitText(size_t unit) const
{
    Eeprom eeprom;
    const size_t interfaceIndex = firstInterfaceOf(unit);
    if (interfaceIndex < m_bus.interfaces().size()) {
        const EmulatedInterface &interface = m_bus.interfaces()[interfaceIndex];
        eeprom.programmed = interface.eepromProgrammed;
        eeprom.serial = interface.eepromSerial;
        eeprom.description = interface.eepromDescription;
        eeprom.maxPower = interface.maxPower;
        eeprom.selfPowered = interface.selfPowered;
    }
    return m_bus.units()[unit]->saveState() + eepromLines(eeprom);
}

bool PersistentBench::isOpenHere(size_t unit) const
{
    for (const EmulatedInterface &interface : m_bus.interfaces()) {
        if (interface.unitIndex == static_cast<int>(unit) && interface.isOpen())
            return true;
    }
    return false;
}

// The size of the interface list when the unit has none listed (it was unplugged).
size_t PersistentBench::firstInterfaceOf(size_t unit) const
{
    const auto &interfaces = m_bus.interfaces();
    for (size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i].unitIndex == static_cast<int>(unit))
            return i;
    }
    return interfaces.size();
}

} // namespace VelmorEmulator
