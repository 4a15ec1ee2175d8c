#include "FaultSchedule.h"

namespace velmor_firmware {

void FaultSchedule::add(const UnitFault &fault)
{
    m_entries.push_back(Entry{fault});
}

void FaultSchedule::clear()
{
    m_entries.clear();
}

std::optional<UnitFault> FaultSchedule::take(uint8_t commandCode)
{
    for (Entry &entry : m_entries) {
        const UnitFault &fault = entry.fault;
        if (fault.commandCode != -1 && fault.commandCode != commandCode)
            continue;
        if (fault.times != -1 && entry.applied >= fault.times)
            continue;
        if (entry.skipped < fault.skip) {
            ++entry.skipped;
            continue;
        }
        ++entry.applied;
        return fault;
    }
    return std::nullopt;
}

} // namespace velmor_firmware
