#include "UnitFaults.h"

namespace faults {

namespace {

UnitFault of(UnitFault::Kind kind, int commandCode)
{
    UnitFault fault;
    fault.kind = kind;
    fault.commandCode = commandCode;
    fault.times = 1;
    return fault;
}

} // namespace

UnitFault silence(int commandCode)
{
    return of(UnitFault::Silence, commandCode);
}

UnitFault late(int commandCode, uint32_t delayMs)
{
    UnitFault fault = of(UnitFault::Late, commandCode);
    fault.delayMs = delayMs;
    return fault;
}

UnitFault wrongId(int commandCode)
{
    return of(UnitFault::WrongId, commandCode);
}

UnitFault wrongLength(int commandCode, int lengthDelta)
{
    UnitFault fault = of(UnitFault::WrongLength, commandCode);
    fault.lengthDelta = lengthDelta;
    return fault;
}

UnitFault corruptType(int commandCode, uint8_t typeByte)
{
    UnitFault fault = of(UnitFault::CorruptType, commandCode);
    fault.typeByte = typeByte;
    return fault;
}

UnitFault cutOff(int commandCode, int bytesSent)
{
    UnitFault fault = of(UnitFault::CutOff, commandCode);
    fault.cutAfter = bytesSent;
    return fault;
}

UnitFault type07(int commandCode, const std::vector<uint8_t> &data)
{
    UnitFault fault = of(UnitFault::Type07, commandCode);
    fault.data = data;
    return fault;
}

UnitFault unsolicitedFirst(int commandCode, uint32_t id)
{
    UnitFault fault = of(UnitFault::Unsolicited, commandCode);
    fault.unsolicitedId = id;
    fault.data = {0x01, 0x02, 0x03};
    return fault;
}

UnitFault streamPacketFirst(int commandCode)
{
    UnitFault fault = of(UnitFault::StreamFirst, commandCode);
    fault.data = {0x10, 0x20, 0x30, 0x40};
    return fault;
}

UnitFault reply(int commandCode, uint8_t status, const std::vector<uint8_t> &data)
{
    UnitFault fault = of(UnitFault::Reply, commandCode);
    fault.status = status;
    fault.data = data;
    return fault;
}

UnitFault unplug(int commandCode)
{
    return of(UnitFault::Unplug, commandCode);
}

UnitFault skipping(UnitFault fault, int skip)
{
    fault.skip = skip;
    return fault;
}

std::vector<uint8_t> zeroPage(uint16_t pageSize, uint8_t lastCheckByte)
{
    std::vector<uint8_t> page(pageSize, 0);
    page.push_back(0xFF);
    page.push_back(lastCheckByte);
    return page;
}

} // namespace faults
