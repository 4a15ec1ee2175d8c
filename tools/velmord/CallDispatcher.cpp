#include "CallDispatcher.h"

#include "BrokerFunction.h"
#include "VelmorLibExtras.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

// What a field of a Call carries for its argument: an integer; a text (or null); an out-value
// (null or its value as the caller has it); a structure (null or its bytes); the settings
// arguments of velmorExplainRefusal (null or 8 bytes each); a text buffer the call writes.
enum class Kind { Integer, Text, Out, Record, Values, Buffer };

bool fits(const BrokerField &field, Kind kind)
{
    switch (kind) {
    case Kind::Integer:
        return field.type == BrokerField::Integer;
    case Kind::Out:
        return field.type == BrokerField::Integer || field.type == BrokerField::Null;
    case Kind::Values:
        return field.type == BrokerField::Null || (field.type == BrokerField::Bytes && field.bytes.size() % 8 == 0);
    default:
        return field.type == BrokerField::Bytes || field.type == BrokerField::Null;
    }
}

// The arguments of one call, made into what the library function takes, and the out-values it
// wrote, made into the reply's fields.
class Call
{
public:
    explicit Call(const std::vector<BrokerField> &fields)
        : m_fields(fields)
    {
    }

    int64_t integer(size_t at) const { return m_fields[at].integer; }
    int32_t int32(size_t at) const { return static_cast<int32_t>(m_fields[at].integer); }
    const char *text(size_t at) const
    {
        return m_fields[at].type == BrokerField::Null ? nullptr : m_fields[at].bytes.c_str();
    }
    template <typename T>
    T *out(size_t at)
    {
        if (m_fields[at].type == BrokerField::Null)
            return nullptr;
        auto value = std::make_shared<T>(static_cast<T>(m_fields[at].integer));
        m_outs[at] = [value] { return BrokerField::of(static_cast<int64_t>(*value)); };
        return value.get();
    }
    template <typename Record>
    Record *record(size_t at)
    {
        if (m_fields[at].type == BrokerField::Null)
            return nullptr;
        auto value = std::make_shared<Record>();
        const std::string &bytes = m_fields[at].bytes;
        // Whole, or its size alone: the library then refuses a size it does not know.
        const size_t taken = bytes.size() == sizeof(Record) ? sizeof(Record) : std::min(bytes.size(), sizeof(value->size));
        std::memcpy(static_cast<void *>(value.get()), bytes.data(), taken);
        m_outs[at] = [value] { return BrokerField::ofBytes(std::string(reinterpret_cast<const char *>(value.get()), sizeof(Record))); };
        return value.get();
    }
    const int64_t *values(size_t at)
    {
        if (m_fields[at].type == BrokerField::Null)
            return nullptr;
        m_values.resize(m_fields[at].bytes.size() / 8);
        std::memcpy(m_values.data(), m_fields[at].bytes.data(), m_values.size() * 8);
        return m_values.data();
    }
    size_t valueCount() const { return m_values.size(); }
    char *buffer(size_t at, uint32_t capacity)
    {
        if (m_fields[at].type == BrokerField::Null)
            return nullptr;
        m_buffer.assign(std::max<size_t>(std::min<uint32_t>(capacity, kLargestText), 1), '\0');
        m_outs[at] = [this] { return BrokerField::ofBytes(std::string(m_buffer.c_str())); };
        return &m_buffer[0];
    }

    BrokerMessage reply(int32_t code, const std::vector<Kind> &kinds) const
    {
        BrokerMessage message(BrokerMessage::Reply);
        message.add(BrokerField::of(code));
        for (size_t at = 0; at < kinds.size(); ++at) {
            if (kinds[at] != Kind::Out && kinds[at] != Kind::Record && kinds[at] != Kind::Buffer)
                continue;
            const auto written = m_outs.find(at + 1);
            message.add(written != m_outs.end() ? written->second() : BrokerField::null());
        }
        return message;
    }

    // What a text buffer of the caller's capacity is here: at most kLargestText bytes.
    static uint32_t bufferCapacity(uint32_t capacity) { return std::min<uint32_t>(capacity, kLargestText); }
    static constexpr uint32_t kLargestText = 32 * 1024;

private:
    const std::vector<BrokerField> &m_fields;
    std::map<size_t, std::function<BrokerField()>> m_outs;
    std::vector<int64_t> m_values;
    std::string m_buffer;
};

struct Entry
{
    const char *name;
    std::vector<Kind> kinds;
    // Field 0 is the function's number: the arguments start at field 1.
    std::function<int32_t(Call &)> run;
};

using K = Kind;

const std::map<BrokerFunction, Entry> &table()
{
    static const std::map<BrokerFunction, Entry> entries = {
        {BrokerFunction::Initialise, {"initialise", {}, [](Call &) { return initialise(); }}},
        {BrokerFunction::GetDeviceCount, {"getDeviceCount", {K::Out}, [](Call &c) { return getDeviceCount(c.out<int32_t>(1)); }}},
        {BrokerFunction::GetDeviceIndex, {"getDeviceIndex", {K::Text, K::Out},
                                          [](Call &c) { return getDeviceIndex(c.text(1), c.out<int32_t>(2)); }}},
        {BrokerFunction::MotorOn, {"motorOn", {K::Integer}, [](Call &c) { return motorOn(c.int32(1)); }}},
        {BrokerFunction::MotorOff, {"motorOff", {K::Integer}, [](Call &c) { return motorOff(c.int32(1)); }}},
        {BrokerFunction::StopMotor, {"stopMotor", {K::Integer}, [](Call &c) { return stopMotor(c.int32(1)); }}},
        {BrokerFunction::ZeroMotorPosition, {"zeroMotorPosition", {K::Integer},
                                             [](Call &c) { return zeroMotorPosition(c.int32(1)); }}},
        {BrokerFunction::MoveMotorAbsolute, {"moveMotorAbsolute", {K::Integer, K::Integer},
                                             [](Call &c) { return moveMotorAbsolute(c.int32(1), c.int32(2)); }}},
        {BrokerFunction::MoveMotorRelative, {"moveMotorRelative", {K::Integer, K::Integer},
                                             [](Call &c) { return moveMotorRelative(c.int32(1), c.int32(2)); }}},
        {BrokerFunction::MoveMotorHome, {"moveMotorHome", {K::Integer}, [](Call &c) { return moveMotorHome(c.int32(1)); }}},
        {BrokerFunction::GetAbsolutePosition, {"getAbsolutePosition", {K::Integer, K::Out},
                                               [](Call &c) { return getAbsolutePosition(c.int32(1), c.out<int32_t>(2)); }}},
        {BrokerFunction::IsMotorReady, {"isMotorReady", {K::Integer, K::Out},
                                        [](Call &c) { return isMotorReady(c.int32(1), c.out<uint8_t>(2)); }}},
        {BrokerFunction::SetMotorSpeed, {"setMotorSpeed", {K::Integer, K::Integer, K::Integer},
                                         [](Call &c) { return setMotorSpeed(c.int32(1), c.int32(2), c.int32(3)); }}},
        {BrokerFunction::SetMotorAcceleration, {"setMotorAcceleration", {K::Integer, K::Integer},
                                                [](Call &c) { return setMotorAcceleration(c.int32(1), c.int32(2)); }}},
        {BrokerFunction::SetMotorCurrent, {"setMotorCurrent", {K::Integer, K::Integer, K::Integer}, [](Call &c) {
                                               return setMotorCurrent(c.int32(1), c.int32(2), uint8_t(c.integer(3)));
                                           }}},
        {BrokerFunction::SetBacklashCompensation,
         {"setBacklashCompensation", {K::Integer, K::Integer, K::Integer, K::Integer}, [](Call &c) {
              return setBacklashCompensation(c.int32(1), uint8_t(c.integer(2)), uint32_t(c.integer(3)), c.int32(4));
          }}},
        {BrokerFunction::SetHomeSettings,
         {"setHomeSettings", {K::Integer, K::Integer, K::Integer, K::Integer, K::Integer, K::Integer}, [](Call &c) {
              return setHomeSettings(c.int32(1), uint32_t(c.integer(2)), uint8_t(c.integer(3)), uint8_t(c.integer(4)),
                                     uint32_t(c.integer(5)), uint32_t(c.integer(6)));
          }}},
        {BrokerFunction::SetLimitSwitches,
         {"setLimitSwitches", {K::Integer, K::Integer, K::Integer, K::Integer, K::Integer}, [](Call &c) {
              return setLimitSwitches(c.int32(1), c.int32(2), uint32_t(c.integer(3)), c.int32(4), uint32_t(c.integer(5)));
          }}},
        {BrokerFunction::SetPWM, {"setPWM", {K::Integer, K::Integer}, [](Call &c) { return setPWM(c.int32(1), c.int32(2)); }}},
        {BrokerFunction::SetPWMStepMode, {"setPWMStepMode", {K::Integer}, [](Call &c) { return setPWMStepMode(c.int32(1)); }}},
        {BrokerFunction::SetRelay, {"setRelay", {K::Integer, K::Integer},
                                    [](Call &c) { return setRelay(c.int32(1), uint8_t(c.integer(2))); }}},
        {BrokerFunction::GetUnitInfo, {"velmorGetUnitInfo", {K::Integer, K::Record},
                                       [](Call &c) { return velmorGetUnitInfo(c.int32(1), c.record<VelmorUnitInfo>(2)); }}},
        {BrokerFunction::GetMotorStatus, {"velmorGetMotorStatus", {K::Integer, K::Record},
                                          [](Call &c) { return velmorGetMotorStatus(c.int32(1), c.record<VelmorMotorStatus>(2)); }}},
        {BrokerFunction::ReadMotionSettings,
         {"velmorReadMotionSettings", {K::Integer, K::Record},
          [](Call &c) { return velmorReadMotionSettings(c.int32(1), c.record<VelmorMotionSettings>(2)); }}},
        {BrokerFunction::ReadMotorSettings,
         {"velmorReadMotorSettings", {K::Integer, K::Record},
          [](Call &c) { return velmorReadMotorSettings(c.int32(1), c.record<VelmorMotorSettings>(2)); }}},
        {BrokerFunction::ReadMoveSettings,
         {"velmorReadMoveSettings", {K::Integer, K::Record},
          [](Call &c) { return velmorReadMoveSettings(c.int32(1), c.record<VelmorMoveSettings>(2)); }}},
        {BrokerFunction::GetLimits, {"velmorGetLimits", {K::Integer, K::Record},
                                     [](Call &c) { return velmorGetLimits(c.int32(1), c.record<VelmorLimits>(2)); }}},
        {BrokerFunction::ExplainRefusal,
         {"velmorExplainRefusal", {K::Integer, K::Text, K::Values, K::Integer, K::Buffer, K::Integer}, [](Call &c) {
              const int64_t *values = c.values(3);
              const int32_t count = c.int32(4);
              // The library reads as many values as the caller says it passed: no more than came.
              if (count > 0 && (values == nullptr || size_t(count) > c.valueCount()))
                  return int32_t(VELMOR_ERROR_ARGUMENT);
              const auto capacity = uint32_t(c.integer(6));
              char *text = c.buffer(5, capacity);
              return velmorExplainRefusal(c.int32(1), c.text(2), values, count, text, Call::bufferCapacity(capacity));
          }}},
        {BrokerFunction::HoldUnit, {"velmorHoldUnit", {K::Integer}, [](Call &c) { return velmorHoldUnit(c.int32(1)); }}},
        {BrokerFunction::ReleaseUnit, {"velmorReleaseUnit", {K::Integer}, [](Call &c) { return velmorReleaseUnit(c.int32(1)); }}},
        {BrokerFunction::ReleaseAllUnits, {"velmorReleaseAllUnits", {}, [](Call &) { return velmorReleaseAllUnits(); }}},
        {BrokerFunction::HoldUnitBySerial, {"velmorHoldUnitBySerial", {K::Text, K::Out},
                                            [](Call &c) { return velmorHoldUnitBySerial(c.text(1), c.out<int32_t>(2)); }}},
        {BrokerFunction::WhereIsUnit, {"velmorWhereIsUnit", {K::Text, K::Out},
                                       [](Call &c) { return velmorWhereIsUnit(c.text(1), c.out<int32_t>(2)); }}},
        {BrokerFunction::GetUnitState, {"velmorGetUnitState", {K::Integer, K::Record},
                                        [](Call &c) { return velmorGetUnitState(c.int32(1), c.record<VelmorUnitState>(2)); }}},
        {BrokerFunction::GetD2xxInfo, {"velmorGetD2xxInfo", {K::Record},
                                       [](Call &c) { return velmorGetD2xxInfo(c.record<VelmorD2xxInfo>(1)); }}},
        {BrokerFunction::ReadProfile, {"velmorReadProfile", {K::Integer, K::Buffer, K::Integer, K::Out}, [](Call &c) {
                                           const auto capacity = uint32_t(c.integer(3));
                                           return velmorReadProfile(c.int32(1), c.buffer(2, capacity), c.bufferCapacity(capacity),
                                                                    c.out<uint32_t>(4));
                                       }}},
        {BrokerFunction::ApplyProfile,
         {"velmorApplyProfile", {K::Integer, K::Text, K::Integer, K::Buffer, K::Integer, K::Out}, [](Call &c) {
              const auto capacity = uint32_t(c.integer(5));
              return velmorApplyProfile(c.int32(1), c.text(2), uint32_t(c.integer(3)), c.buffer(4, capacity),
                                        c.bufferCapacity(capacity), c.out<uint32_t>(6));
          }}},
        {BrokerFunction::DiffProfile, {"velmorDiffProfile", {K::Integer, K::Text, K::Buffer, K::Integer, K::Out}, [](Call &c) {
                                           const auto capacity = uint32_t(c.integer(4));
                                           return velmorDiffProfile(c.int32(1), c.text(2), c.buffer(3, capacity),
                                                                    c.bufferCapacity(capacity), c.out<uint32_t>(5));
                                       }}},
        {BrokerFunction::LoadProfiles, {"velmorLoadProfiles", {K::Text, K::Buffer, K::Integer, K::Out}, [](Call &c) {
                                            const auto capacity = uint32_t(c.integer(3));
                                            return velmorLoadProfiles(c.text(1), c.buffer(2, capacity), c.bufferCapacity(capacity),
                                                                      c.out<uint32_t>(4));
                                        }}},
    };
    return entries;
}

const Entry *entryOf(const BrokerMessage &call)
{
    if (call.kind() != BrokerMessage::Call || call.fields().empty() || call.fields()[0].type != BrokerField::Integer)
        return nullptr;
    const auto entry = table().find(static_cast<BrokerFunction>(call.fields()[0].integer));
    if (entry == table().end() || call.fields()[0].integer != int64_t(entry->first))
        return nullptr;
    const std::vector<BrokerField> &fields = call.fields();
    if (fields.size() != entry->second.kinds.size() + 1)
        return nullptr;
    for (size_t at = 0; at < entry->second.kinds.size(); ++at) {
        if (!fits(fields[at + 1], entry->second.kinds[at]))
            return nullptr;
    }
    return &entry->second;
}

} // namespace

namespace CallDispatcher {

bool fitsAFunction(const BrokerMessage &call)
{
    return entryOf(call) != nullptr;
}

std::optional<BrokerMessage> run(const BrokerMessage &call)
{
    const Entry *entry = entryOf(call);
    if (entry == nullptr)
        return std::nullopt;
    Call arguments(call.fields());
    const int32_t code = entry->run(arguments);
    return arguments.reply(code, entry->kinds);
}

std::string functionName(const BrokerMessage &call)
{
    const Entry *entry = entryOf(call);
    return entry != nullptr ? entry->name : std::string();
}

} // namespace CallDispatcher
