// The calling thread's turn on an open unit, for one call. Held units run in parallel: the
// library's lock covers the listing, opening, the start-up handshake and the per-index state,
// and is let go while the thread waits for its turn and while it exchanges packets with the
// unit; the turn alone keeps other callers off the unit meanwhile. Made and destroyed with the
// library's lock held.
#ifndef UNITTURN_H
#define UNITTURN_H

#include "OpenUnit.h"

#include <functional>
#include <memory>

class UnitTurn
{
public:
    explicit UnitTurn(std::shared_ptr<OpenUnit> unit);
    ~UnitTurn();
    UnitTurn(const UnitTurn &) = delete;
    UnitTurn &operator=(const UnitTurn &) = delete;

    // Whether the calling thread has the turn on `unit`.
    static bool isHeldOn(const OpenUnit *unit);
    // Runs `exchange` on the unit whose turn the thread has, without the library's lock when
    // the driver is that unit's; with it otherwise.
    static void exchangeOn(const USBDriver &driver, const std::function<void()> &exchange);

private:
    std::shared_ptr<OpenUnit> m_unit;
    const OpenUnit *m_outer;
};

#endif // UNITTURN_H
