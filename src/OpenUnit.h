// One open handle of a unit, shared by every hold of that unit in the process (a program that
// serves others holds a unit for several clients at once), with the unit's start-up state and
// the turns of the callers that use it. A unit has at most one usable handle at a time: a hold
// that needs the unit open takes the live one, and opens it anew only when there is none.
// The list of live handles is read and changed under the library's lock.
#ifndef OPENUNIT_H
#define OPENUNIT_H

#include "LibraryCall.h"
#include "UnitIdentity.h"
#include "UnitTurns.h"
#include "VersionNumber.h"

#include <memory>

class OpenUnit
{
public:
    explicit OpenUnit(const UnitIdentity &unit);
    OpenUnit(const OpenUnit &) = delete;
    OpenUnit &operator=(const OpenUnit &) = delete;

    const UnitIdentity &unit() const { return m_unit; }
    USBDriver &driver() { return m_call.driver; }
    bool isOpen() const { return static_cast<bool>(m_call.driver.device()); }
    UnitTurns &turns() { return m_turns; }

    // The firmware the unit reported at its start-up; the calls on the unit build their
    // requests for it whatever index it is listed at.
    VersionNumber firmwareVersion() const { return m_firmwareVersion; }
    void setFirmwareVersion(VersionNumber version) { m_firmwareVersion = version; }

    // Empties the unit's receive queues; false when D2XX refused, as it does once the unit is
    // gone. Only the caller whose turn it is may call it.
    bool purge();
    // A D2XX call failed on the handle: it is not handed out again, and the next hold that
    // needs the unit opens it anew.
    void markBroken() { m_broken = true; }
    bool isBroken() const { return m_broken; }

    // The usable handle of `unit` that some hold keeps open, or null.
    static std::shared_ptr<OpenUnit> live(const UnitIdentity &unit);
    static void enrol(const std::shared_ptr<OpenUnit> &unit);

private:
    UnitIdentity m_unit;
    CallDriver m_call;
    UnitTurns m_turns;
    VersionNumber m_firmwareVersion;
    bool m_broken = false;
};

#endif // OPENUNIT_H
