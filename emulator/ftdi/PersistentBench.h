// Keeps the default bench's units in the state file, so that separate processes meet the units
// as one another left them, as they would meet real units. The file holds the truth between
// processes: a process adopts what others saved of the units it neither has open nor changed
// itself, and saves each unit it changed, leaving the others' units in the file as they are.
// A file that is missing, unreadable, not of this format, for another bench or wrong in any unit
// counts for nothing: the bench stays as it is (fresh in a new process) and the next save
// replaces the file. A file that is there but counts for nothing, and a file that cannot be
// written, are reported on standard error, once a process.
#ifndef VELMOR_EMULATOR_PERSISTENTBENCH_H
#define VELMOR_EMULATOR_PERSISTENTBENCH_H

#include "StateFile.h"

#include <optional>
#include <string>
#include <vector>

namespace VelmorEmulator {

class Bus;

class PersistentBench
{
public:
    // `bus` holds the bench `benchText` names, its units fresh.
    PersistentBench(Bus &bus, StateFile file, std::string benchText);

    // The unit's state (or its chip's EEPROM) changed here: the next save writes it.
    void markChanged(int unitIndex);
    // Adopts what other processes saved; with `save`, then writes the units changed here.
    void synchronise(bool save);

private:
    void synchroniseWithFile(bool save);
    // Adopts the units other processes changed; the file's unit texts, none when it counts for nothing.
    std::optional<std::vector<std::string>> adoptFrom(const std::optional<std::string> &fileText);
    std::optional<std::vector<std::string>> validUnitTexts(const std::string &fileText, std::string *problem) const;
    bool isValidUnitText(size_t unit, const std::string &text) const;
    void adopt(size_t unit, const std::string &text);
    std::string unitText(size_t unit) const;
    bool isOpenHere(size_t unit) const;
    size_t firstInterfaceOf(size_t unit) const;

    Bus &m_bus;
    StateFile m_file;
    std::string m_benchText;
    std::vector<std::string> m_setupLines;      // each unit's setup as the bench makes it
    std::vector<std::string> m_knownTexts;      // each unit's text as last adopted or written
    std::vector<bool> m_changed;
};

} // namespace VelmorEmulator

#endif
