#include "HeldUnit.h"

HeldUnit::HeldUnit(const UnitIdentity &unit)
    : m_unit(unit)
{
}
