#include "FaultEffect.h"

#include "ReplyPacket.h"

#include <algorithm>

namespace velmor_firmware {

bool FaultEffect::letsRequestRun(const UnitFault &fault)
{
    return fault.kind != UnitFault::Silence && fault.kind != UnitFault::Reply && fault.kind != UnitFault::Unplug;
}

std::vector<uint8_t> FaultEffect::reshape(const UnitFault &fault, uint32_t id, const std::optional<Answer> &normal)
{
    switch (fault.kind) {
    case UnitFault::Silence:
    case UnitFault::Unplug:
        return {};
    case UnitFault::Reply: {
        Answer answer = Answer::of(fault.status);
        answer.data = fault.data;
        return ReplyPacket::reply(normal ? id : 0, answer);
    }
    case UnitFault::Late:
        return normalBytes(id, normal);
    case UnitFault::WrongId:
        return normalBytes(id + 1, normal);
    case UnitFault::WrongLength:
        return normal ? withWrongLength(fault, id, *normal) : std::vector<uint8_t>();
    case UnitFault::CorruptType: {
        std::vector<uint8_t> bytes = normalBytes(id, normal);
        if (!bytes.empty())
            bytes[0] = fault.typeByte;
        return bytes;
    }
    case UnitFault::CutOff: {
        std::vector<uint8_t> bytes = normalBytes(id, normal);
        bytes.resize(std::min(bytes.size(), static_cast<size_t>(std::max(fault.cutAfter, 0))));
        return bytes;
    }
    case UnitFault::Type07:
        return ReplyPacket::stream(fault.data);
    case UnitFault::Unsolicited:
    case UnitFault::StreamFirst: {
        std::vector<uint8_t> bytes = fault.kind == UnitFault::StreamFirst
                                         ? ReplyPacket::stream(fault.data)
                                         : ReplyPacket::reply(fault.unsolicitedId, Answer::withData(fault.data));
        const std::vector<uint8_t> answer = normalBytes(id, normal);
        bytes.insert(bytes.end(), answer.begin(), answer.end());
        return bytes;
    }
    }
    return normalBytes(id, normal);
}

std::chrono::milliseconds FaultEffect::delay(const UnitFault &fault)
{
    return fault.kind == UnitFault::Late ? std::chrono::milliseconds(fault.delayMs) : std::chrono::milliseconds(0);
}

std::vector<uint8_t> FaultEffect::normalBytes(uint32_t id, const std::optional<Answer> &normal)
{
    return normal ? ReplyPacket::reply(id, *normal) : std::vector<uint8_t>();
}

// The length field tells the truth about the changed data: added bytes are zeros, removed ones
// come off the end.
std::vector<uint8_t> FaultEffect::withWrongLength(const UnitFault &fault, uint32_t id, Answer answer)
{
    const long length = std::max(0L, static_cast<long>(answer.data.size()) + fault.lengthDelta);
    answer.data.resize(static_cast<size_t>(length), 0);
    return ReplyPacket::reply(id, answer);
}

} // namespace velmor_firmware
