// A unit that a host keeps open between calls, pinned to its index: the calls on that index go
// through the unit's open handle instead of listing, opening and closing the unit each time,
// and reach that unit or none. The pin outlives the handle: a D2XX failure, or another unit
// listed at the index, lets the handle go, and the next call finding the unit at its index again
// opens it anew. Holds of one unit share its one handle (OpenUnit).
#ifndef HELDUNIT_H
#define HELDUNIT_H

#include "OpenUnit.h"
#include "UnitIdentity.h"

#include <memory>

class HeldUnit
{
public:
    explicit HeldUnit(const UnitIdentity &unit);
    HeldUnit(const HeldUnit &) = delete;
    HeldUnit &operator=(const HeldUnit &) = delete;

    const UnitIdentity &unit() const { return m_unit; }
    bool isOpen() const { return m_open && m_open->isOpen() && !m_open->isBroken(); }
    const std::shared_ptr<OpenUnit> &openUnit() const { return m_open; }
    void attach(const std::shared_ptr<OpenUnit> &open) { m_open = open; }
    // Lets go of the handle; the unit closes when no other hold keeps it.
    void close() { m_open.reset(); }

private:
    UnitIdentity m_unit;
    std::shared_ptr<OpenUnit> m_open;
};

#endif // HELDUNIT_H
