// A unit's state as text and back: what the emulator keeps between processes.
#include "SaveTime.h"
#include "StateText.h"
#include "UnitPrivate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace velmor_firmware {

namespace {

const char *recordName(RecordKind kind)
{
    switch (kind) {
    case RecordKind::MotionConfiguration: return "motionConfiguration";
    case RecordKind::MotorConfiguration: return "motorConfiguration";
    case RecordKind::InputConfiguration: return "inputConfiguration";
    case RecordKind::AdvancedMoveConfiguration: return "advancedMoveConfiguration";
    case RecordKind::PwmSettings: return "pwmSettings";
    case RecordKind::MotorInformation: return "motorInformation";
    case RecordKind::Block21: return "block21";
    case RecordKind::Block26: return "block26";
    case RecordKind::Block28: return "block28";
    }
    return "record";
}

// Times in a saved state stay within ten years either way, so that no clock arithmetic on a
// state from an untrusted file can overflow.
constexpr int64_t s_longestMicroseconds = int64_t(10) * 366 * 24 * 3600 * 1000000;

int64_t durationIn(const StateText &state, const std::string &key)
{
    return state.number(key, -s_longestMicroseconds, s_longestMicroseconds);
}

// A state restored from a save made years ago (as far as the clocks can tell) has its times at
// the ten-year bound, and time goes on after the restore: what is written is kept within the
// bound, so that the unit's own save reads back. Past ten years, a firmware start or a move
// that long ago makes no difference to what the unit does now.
int64_t boundedDuration(std::chrono::microseconds duration)
{
    return std::clamp<int64_t>(duration.count(), -s_longestMicroseconds, s_longestMicroseconds);
}

// Speeds are saved in thousandths of a step a second. Up to this many, a whole number of
// thousandths survives the division into steps a second and the multiplication back exactly.
constexpr int64_t s_highestMilli = int64_t(1) << 50;

int64_t milliIn(const StateText &state, const std::string &key)
{
    return state.number(key, 0, s_highestMilli);
}

SaveTime saveTimeIn(const StateText &state)
{
    SaveTime time;
    time.wallMicroseconds = state.number("savedAt", 0, std::numeric_limits<int64_t>::max() / 4);
    time.steadyMicroseconds = state.number("savedAtSteady", 0, std::numeric_limits<int64_t>::max() / 4);
    time.bootId = state.value("bootId");
    return time;
}

} // namespace

void Unit::Private::save(StateText &state, TimePoint now) const
{
    const SaveTime savedAt = SaveTime::now();
    state.add("savedAt", savedAt.wallMicroseconds);
    state.add("savedAtSteady", savedAt.steadyMicroseconds);
    state.add("bootId", savedAt.bootId);
    state.add("setup.usbSerial", StateText::hex(setup.usbSerial));
    state.add("setup.firmwareMajor", setup.firmwareMajor);
    state.add("setup.firmwareMinor", setup.firmwareMinor);
    state.add("setup.pageFormat", setup.pageFormat);
    state.add("setup.storedSerial", StateText::hex(setup.storedSerial));
    state.add("setup.name", StateText::hex(setup.name));
    state.add("setup.pageSize", setup.pageSize);
    for (uint16_t number : setup.numbers)
        state.add("setup.number", number);
    for (const InformationEntry &entry : setup.entries) {
        std::string value = StateText::hex(entry.label);
        for (uint16_t number : entry.numbers)
            value += "," + std::to_string(number);
        state.add("setup.entry", value);
    }
    state.add("setup.longInformationReply", setup.longInformationReply ? 1 : 0);
    state.add("setup.informationFlagBit", setup.informationFlagBit);
    state.add("setup.bootMilliseconds", setup.bootMilliseconds);

    state.add("firmware", firmwareUpAt ? 1 : 0);
    if (firmwareUpAt)
        state.add("firmwareUpIn", boundedDuration(std::chrono::duration_cast<std::chrono::microseconds>(*firmwareUpAt - now)));
    state.add("firmwareUp", firmwareUp ? 1 : 0);
    state.add("unplugged", unplugged ? 1 : 0);
    state.add("relay", commands.relayOn() ? 1 : 0);
    for (RecordKind kind : StoredRecords::allKinds())
        state.add(std::string("record.") + recordName(kind), StateText::hex(records.bytes(kind)));

    const Motor::Snapshot motorSnapshot = motor.snapshot(now);
    state.add("motor.on", motorSnapshot.on ? 1 : 0);
    state.add("motor.stepMode", motorSnapshot.stepMode);
    state.add("motor.forcedReadyByte", motorSnapshot.forcedReadyByte);
    state.add("motor.origin", motorSnapshot.origin);
    state.add("motor.target", motorSnapshot.target);
    state.add("motor.moveStarted", motorSnapshot.moveStarted ? 1 : 0);
    state.add("motor.moveElapsed", std::max<int64_t>(0, boundedDuration(std::chrono::microseconds(motorSnapshot.moveElapsedMicroseconds))));
    state.add("motor.speedMilli", std::llround(motorSnapshot.motion.speed * 1000.0));
    state.add("motor.accelerationMilli", std::llround(motorSnapshot.motion.acceleration * 1000.0));
}

UnitSetup Unit::Private::setupOf(const StateText &state)
{
    UnitSetup restored;
    restored.usbSerial = StateText::textOfHex(state.value("setup.usbSerial"));
    restored.firmwareMajor = static_cast<uint16_t>(state.number("setup.firmwareMajor", 0, 0xFFFF));
    restored.firmwareMinor = static_cast<uint16_t>(state.number("setup.firmwareMinor", 0, 0xFFFF));
    restored.pageFormat = static_cast<int>(state.number("setup.pageFormat", 0, 255));
    restored.storedSerial = StateText::textOfHex(state.value("setup.storedSerial"));
    restored.name = StateText::textOfHex(state.value("setup.name"));
    restored.pageSize = static_cast<uint16_t>(state.number("setup.pageSize", 0, 0xFFFF));
    const std::vector<std::string> numbers = state.values("setup.number");
    if (numbers.size() != 6)
        throw std::invalid_argument("six numbers expected");
    for (size_t i = 0; i < 6; ++i)
        restored.numbers[i] = static_cast<uint16_t>(StateText::parseNumber(numbers[i], 0, 0xFFFF));
    for (const std::string &value : state.values("setup.entry")) {
        InformationEntry entry;
        size_t start = value.find(',');
        entry.label = StateText::textOfHex(value.substr(0, start));
        for (uint16_t &number : entry.numbers) {
            if (start == std::string::npos)
                throw std::invalid_argument("entry numbers missing");
            const size_t end = value.find(',', start + 1);
            number = static_cast<uint16_t>(StateText::parseNumber(value.substr(start + 1, end - start - 1), 0, 0xFFFF));
            start = end;
        }
        restored.entries.push_back(entry);
    }
    restored.longInformationReply = state.number("setup.longInformationReply", 0, 1) != 0;
    restored.informationFlagBit = static_cast<uint8_t>(state.number("setup.informationFlagBit", 0, 255));
    restored.bootMilliseconds = static_cast<uint32_t>(state.number("setup.bootMilliseconds", 0, 0xFFFFFFFF));
    return restored;
}

// Time has gone on since the save, as the clocks shared by every process say.
void Unit::Private::restore(const StateText &state, TimePoint now)
{
    const int64_t sinceSave = std::min(saveTimeIn(state).microsecondsUntil(SaveTime::now()), s_longestMicroseconds);
    const auto passed = std::chrono::microseconds(sinceSave);
    latest = now;
    if (state.number("firmware", 0, 1) != 0)
        firmwareUpAt = now - passed + std::chrono::microseconds(durationIn(state, "firmwareUpIn"));
    firmwareUp = state.number("firmwareUp", 0, 1) != 0;
    unplugged = state.number("unplugged", 0, 1) != 0;
    commands.setRelayOn(state.number("relay", 0, 1) != 0);
    for (RecordKind kind : StoredRecords::allKinds()) {
        if (!records.store(kind, StateText::bytesOfHex(state.value(std::string("record.") + recordName(kind)))))
            throw std::invalid_argument(std::string("wrong length of ") + recordName(kind));
    }

    Motor::Snapshot motorSnapshot;
    motorSnapshot.on = state.number("motor.on", 0, 1) != 0;
    motorSnapshot.stepMode = static_cast<uint8_t>(state.number("motor.stepMode", 0, 255));
    motorSnapshot.forcedReadyByte = static_cast<int>(state.number("motor.forcedReadyByte", -1, 255));
    motorSnapshot.origin = static_cast<int32_t>(state.number("motor.origin", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    motorSnapshot.target = static_cast<int32_t>(state.number("motor.target", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    motorSnapshot.moveStarted = state.number("motor.moveStarted", 0, 1) != 0;
    motorSnapshot.moveElapsedMicroseconds = state.number("motor.moveElapsed", 0, s_longestMicroseconds) + sinceSave;
    motorSnapshot.motion.speed = milliIn(state, "motor.speedMilli") / 1000.0;
    motorSnapshot.motion.acceleration = milliIn(state, "motor.accelerationMilli") / 1000.0;
    motor.restore(motorSnapshot, now);
    advanceTo(now);
}

} // namespace velmor_firmware
