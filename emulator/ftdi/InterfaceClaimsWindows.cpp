#include "InterfaceClaims.h"

namespace VelmorEmulator {

// No bench is shared between processes on Windows (StateFileWindows.cpp), so no interface is
// ever open elsewhere.
InterfaceClaims::InterfaceClaims(std::string path)
    : m_path(std::move(path))
{
}

InterfaceClaims::~InterfaceClaims() = default;

bool InterfaceClaims::claim(uint64_t)
{
    return true;
}

void InterfaceClaims::release(uint64_t)
{
}

bool InterfaceClaims::isClaimedElsewhere(uint64_t) const
{
    return false;
}

} // namespace VelmorEmulator
