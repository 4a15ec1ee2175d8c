// What the emulator tells a person about its setup: a bench entry it left out, a state file it
// cannot use or found damaged. Each message goes to standard error once a process.
#ifndef VELMOR_EMULATOR_DIAGNOSTICS_H
#define VELMOR_EMULATOR_DIAGNOSTICS_H

#include <string>
#include <vector>

namespace VelmorEmulator {

class Diagnostics
{
public:
    // Writes "velmor emulator: MESSAGE" to standard error unless this process already has.
    static void report(const std::string &message);
    // Every message reported so far, in order, each once.
    static std::vector<std::string> reported();
};

} // namespace VelmorEmulator

#endif
