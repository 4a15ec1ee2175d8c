#include "HeldUnit.h"

#include "FtdiLibrary.h"

HeldUnit::HeldUnit(const UnitIdentity &unit)
    : m_unit(unit)
{
}

USBDriver &HeldUnit::freshDriver()
{
    m_call = std::make_unique<CallDriver>();
    return m_call->driver;
}

bool HeldUnit::purge()
{
    if (!isOpen())
        return false;
    for (const USBISocketPtr &socket : m_call->driver.device()->sockets()) {
        if (socket->purge() != FT_OK)
            return false;
    }
    return true;
}
