// A unit that a host keeps open between calls: its driver and engine stay alive, and the calls
// on its index go through them instead of listing, opening and closing the unit each time.
#ifndef HELDUNIT_H
#define HELDUNIT_H

#include "LibraryCall.h"
#include "USBDevice.h"

class HeldUnit
{
public:
    HeldUnit() = default;
    HeldUnit(const HeldUnit &) = delete;
    HeldUnit &operator=(const HeldUnit &) = delete;
    // Closes the unit.
    ~HeldUnit() = default;

    USBDriver &driver() { return m_call.driver; }

    // Whether `listed` is the unit held: the same serial number at the same USB location.
    bool isSameUnitAs(const USBDevice &listed) const;
    // Empties the unit's receive queues; false when D2XX refused, as it does once the unit is gone.
    bool purge();

private:
    CallDriver m_call;
};

#endif // HELDUNIT_H
