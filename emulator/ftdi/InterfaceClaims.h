// Which interfaces of the default bench processes have open: as with real units, an interface
// one process has open cannot be opened by another. Each open interface holds a lock on one byte
// of a claims file beside the state file, so that a process that ends, however it ends, lets go
// of what it had open.
#ifndef VELMOR_EMULATOR_INTERFACECLAIMS_H
#define VELMOR_EMULATOR_INTERFACECLAIMS_H

#include <cstdint>
#include <map>
#include <string>

namespace VelmorEmulator {

class InterfaceClaims
{
public:
    explicit InterfaceClaims(std::string path);
    ~InterfaceClaims();
    InterfaceClaims(const InterfaceClaims &) = delete;
    InterfaceClaims &operator=(const InterfaceClaims &) = delete;

    // `key` names an interface the same way in every process. True when this process has it now;
    // also true when the claims file cannot be used at all, so that the emulator still works.
    bool claim(uint64_t key);
    void release(uint64_t key);
    bool isClaimedElsewhere(uint64_t key) const;

private:
    std::string m_path;
    std::map<uint64_t, int> m_descriptors;
};

} // namespace VelmorEmulator

#endif
