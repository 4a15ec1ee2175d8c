#include "OpenUnit.h"

#include "FtdiLibrary.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<std::weak_ptr<OpenUnit>> &registry()
{
    // Never destroyed, as the holds are not: see LibrarySession::processSession.
    static auto *const units = new std::vector<std::weak_ptr<OpenUnit>>();
    return *units;
}

} // namespace

OpenUnit::OpenUnit(const UnitIdentity &unit)
    : m_unit(unit)
{
}

bool OpenUnit::purge()
{
    if (!isOpen() || m_broken)
        return false;
    for (const USBISocketPtr &socket : m_call.driver.device()->sockets()) {
        if (socket->purge() != FT_OK)
            return false;
    }
    return true;
}

std::shared_ptr<OpenUnit> OpenUnit::live(const UnitIdentity &unit)
{
    auto &units = registry();
    units.erase(std::remove_if(units.begin(), units.end(), [](const std::weak_ptr<OpenUnit> &entry) { return entry.expired(); }),
                units.end());
    for (const std::weak_ptr<OpenUnit> &entry : units) {
        std::shared_ptr<OpenUnit> open = entry.lock();
        if (open && open->unit() == unit && open->isOpen() && !open->isBroken())
            return open;
    }
    return nullptr;
}

void OpenUnit::enrol(const std::shared_ptr<OpenUnit> &unit)
{
    registry().push_back(unit);
}
