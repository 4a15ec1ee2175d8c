#include "UnitTurn.h"

#include "LibraryInterface.h"
#include "LibrarySession.h"
#include "ThreadAnnotations.h"

namespace {

thread_local const OpenUnit *t_turnUnit = nullptr;

// The library's lock let go for the scope; the thread holds it before and after.
class LibraryLockReleased
{
public:
    LibraryLockReleased()
    {
        VELMOR_HAPPENS_BEFORE(&LibraryInterface::s_apiMutex);
        LibraryInterface::s_apiMutex.unlock();
    }
    ~LibraryLockReleased()
    {
        LibraryInterface::s_apiMutex.lock();
        VELMOR_HAPPENS_AFTER(&LibraryInterface::s_apiMutex);
    }
    LibraryLockReleased(const LibraryLockReleased &) = delete;
    LibraryLockReleased &operator=(const LibraryLockReleased &) = delete;
};

} // namespace

UnitTurn::UnitTurn(std::shared_ptr<OpenUnit> unit)
    : m_unit(std::move(unit))
    , m_outer(t_turnUnit)
{
    const quintptr client = LibrarySession::current().turnKey();
    if (!m_unit->turns().tryAcquire(client)) {
        LibraryLockReleased released;
        m_unit->turns().acquire(client, LibrarySession::callIsUrgent());
    }
    VELMOR_HAPPENS_AFTER(&m_unit->turns());
    t_turnUnit = m_unit.get();
}

UnitTurn::~UnitTurn()
{
    t_turnUnit = m_outer;
    VELMOR_HAPPENS_BEFORE(&m_unit->turns());
    m_unit->turns().release();
}

bool UnitTurn::isHeldOn(const OpenUnit *unit)
{
    return unit != nullptr && t_turnUnit == unit;
}

void UnitTurn::exchangeOn(const USBDriver &driver, const std::function<void()> &exchange)
{
    auto *unit = const_cast<OpenUnit *>(t_turnUnit);
    if (unit == nullptr || &unit->driver() != &driver) {
        exchange();
        return;
    }
    LibraryLockReleased released;
    exchange();
}
