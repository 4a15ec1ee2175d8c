// A unit that a host keeps open between calls, pinned to its index: the calls on that index go
// through its open driver and engine instead of listing, opening and closing the unit each time,
// and reach that unit or none. The pin outlives the handle: a D2XX failure, or another unit
// listed at the index, closes the handle, and the next call finding the unit at its index again
// opens it anew.
#ifndef HELDUNIT_H
#define HELDUNIT_H

#include "LibraryCall.h"
#include "UnitIdentity.h"

#include <memory>

class HeldUnit
{
public:
    explicit HeldUnit(const UnitIdentity &unit);
    HeldUnit(const HeldUnit &) = delete;
    HeldUnit &operator=(const HeldUnit &) = delete;
    // Closes the unit.
    ~HeldUnit() = default;

    const UnitIdentity &unit() const { return m_unit; }
    bool isOpen() const { return m_call && m_call->driver.device(); }
    // A fresh driver, not yet open, in place of the last one.
    USBDriver &freshDriver();
    // The open driver; only while isOpen().
    USBDriver &driver() { return m_call->driver; }
    void close() { m_call.reset(); }

    // Empties the unit's receive queues; false when D2XX refused, as it does once the unit is gone.
    bool purge();

private:
    UnitIdentity m_unit;
    std::unique_ptr<CallDriver> m_call;
};

#endif // HELDUNIT_H
