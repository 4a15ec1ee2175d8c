#include "Unit.h"

#include "Bootloader.h"
#include "BoundedLog.h"
#include "ByteOrder.h"
#include "FaultEffect.h"
#include "FaultSchedule.h"
#include "Motor.h"
#include "MotorDriverCommandSet.h"
#include "PacketFramer.h"
#include "ReplyPacket.h"
#include "SaveTime.h"
#include "StateText.h"
#include "StoredRecords.h"
#include "UnitModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace velmor_firmware {

namespace {

// The time the firmware takes from the last byte of a request to the first byte of its answer.
constexpr std::chrono::microseconds s_answerTime{200};
// A UART takes a baud rate this far off its own and still samples the bits right.
constexpr double s_baudTolerance = 0.03;

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

struct Unit::Private
{
    explicit Private(const UnitSetup &unitSetup)
        : setup(unitSetup)
        , model(setup.usbSerial, setup.firmwareMajor, setup.firmwareMinor)
        , bootloader(setup)
        , records(model)
        , motor(model.fullStepMode())
        , commands(model, records, motor)
    {
        commands.followMotionConfiguration(false, TimePoint());
    }

    TimePoint advanceTo(TimePoint now);
    TimePoint notBefore(TimePoint now) const { return std::max(now, latest); }
    RunState runState(TimePoint now) const;
    bool understands(const SerialLine &line) const;

    void record(const HostFrame &frame, TimePoint arrival);
    void recordRaw(ReceivedPacket::Hearing hearing, std::vector<uint8_t> bytes, TimePoint arrival);
    void handle(const HostFrame &frame, TimePoint arrival, std::vector<Transmission> &sent);
    std::optional<Answer> carryOut(const HostFrame &frame, TimePoint arrival);
    Answer answerPacket(const HostFrame &frame, TimePoint arrival);
    void powerCycle(TimePoint now);

    void save(StateText &state, TimePoint now) const;
    void restore(const StateText &state, TimePoint now);
    static UnitSetup setupOf(const StateText &state);

    UnitSetup setup;
    UnitModel model;
    Bootloader bootloader;
    StoredRecords records;
    Motor motor;
    MotorDriverCommandSet commands;
    PacketFramer framer;
    FaultSchedule faults;
    // A session of a few thousand requests fits whole.
    BoundedLog<ReceivedPacket> received{8192};
    bool unplugged = false;
    std::optional<TimePoint> firmwareUpAt;      // none: in the bootloader
    bool firmwareUp = false;
    TimePoint latest;
};

// The firmware coming up switches the motor on.
TimePoint Unit::Private::advanceTo(TimePoint now)
{
    latest = notBefore(now);
    if (firmwareUpAt && !firmwareUp && latest >= *firmwareUpAt) {
        firmwareUp = true;
        motor.switchOn();
    }
    return latest;
}

RunState Unit::Private::runState(TimePoint now) const
{
    if (!firmwareUpAt)
        return RunState::Bootloader;
    return notBefore(now) < *firmwareUpAt ? RunState::Starting : RunState::Firmware;
}

bool Unit::Private::understands(const SerialLine &line) const
{
    if (line.synchronousFifo)
        return true;
    const double baud = 500000.0;
    return std::fabs(line.baudRate - baud) <= baud * s_baudTolerance && line.dataBits == 8 && line.stopBits == 0
        && line.parity == 2 && line.rtsCts == model.rtsCts();
}

void Unit::Private::record(const HostFrame &frame, TimePoint arrival)
{
    ReceivedPacket packet;
    packet.arrival = arrival;
    packet.raw = frame.raw;
    packet.type = frame.raw ? 0 : PacketFramer::s_packetType;
    packet.id = frame.id;
    packet.commandCode = frame.commandCode;
    packet.payload = frame.payload;
    packet.bytes = frame.bytes;
    received.append(packet);
}

void Unit::Private::recordRaw(ReceivedPacket::Hearing hearing, std::vector<uint8_t> bytes, TimePoint arrival)
{
    if (bytes.empty())
        return;
    ReceivedPacket packet;
    packet.arrival = arrival;
    packet.hearing = hearing;
    packet.raw = true;
    packet.bytes = std::move(bytes);
    received.append(packet);
}

void Unit::Private::handle(const HostFrame &frame, TimePoint arrival, std::vector<Transmission> &sent)
{
    record(frame, arrival);
    const std::optional<UnitFault> fault = faults.take(frame.commandCode);
    if (!fault) {
        if (const std::optional<Answer> answer = carryOut(frame, arrival))
            sent.push_back(Transmission{arrival + s_answerTime, ReplyPacket::reply(frame.id, *answer)});
        return;
    }
    if (fault->kind == UnitFault::Unplug) {
        unplugged = true;
        return;
    }
    std::optional<Answer> answer = frame.raw ? std::nullopt : std::optional<Answer>(Answer());
    if (FaultEffect::letsRequestRun(*fault))
        answer = carryOut(frame, arrival);
    std::vector<uint8_t> bytes = FaultEffect::reshape(*fault, frame.id, answer);
    if (!bytes.empty())
        sent.push_back(Transmission{arrival + s_answerTime + FaultEffect::delay(*fault), std::move(bytes)});
}

// A raw byte has no answer: in the bootloader the start command starts the firmware, any other
// raw byte (and any raw byte once the firmware runs) does nothing.
std::optional<Answer> Unit::Private::carryOut(const HostFrame &frame, TimePoint arrival)
{
    if (!frame.raw)
        return answerPacket(frame, arrival);
    if (runState(arrival) == RunState::Bootloader && Bootloader::isStartCommand(frame.commandCode)) {
        firmwareUpAt = arrival + std::chrono::milliseconds(setup.bootMilliseconds);
        advanceTo(arrival);
    }
    return std::nullopt;
}

Answer Unit::Private::answerPacket(const HostFrame &frame, TimePoint arrival)
{
    if (Bootloader::isBootloaderOpcode(frame.commandCode))
        return bootloader.answer(frame.commandCode);
    if (MotorDriverCommandSet::isMotorDriverCode(frame.commandCode) && runState(arrival) == RunState::Firmware)
        return commands.execute(frame.commandCode, frame.payload, arrival);
    return Answer::of(Answer::NotRecognised);
}

void Unit::Private::powerCycle(TimePoint now)
{
    now = advanceTo(now);
    motor.switchOff(now);
    commands.setRelayOn(false);
    framer.abandon();
    firmwareUpAt.reset();
    firmwareUp = false;
    unplugged = false;
}

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

Unit::Unit(const UnitSetup &setup)
    : m_pPrivate(new Private(setup))
{
}

Unit::~Unit() = default;

const UnitSetup &Unit::setup() const
{
    return m_pPrivate->setup;
}

SerialLine Unit::expectedLine() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SerialLine line;
    line.baudRate = 500000;
    line.dataBits = 8;
    line.stopBits = 0;
    line.parity = 2;
    line.rtsCts = m_pPrivate->model.rtsCts();
    return line;
}

std::vector<Transmission> Unit::receive(const uint8_t *bytes, size_t count, TimePoint arrival, const SerialLine &line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Private &unit = *m_pPrivate;
    arrival = unit.advanceTo(arrival);
    const std::vector<uint8_t> chunk(bytes, bytes + count);
    if (unit.unplugged) {
        unit.recordRaw(ReceivedPacket::Ignored, chunk, arrival);
        return {};
    }
    if (!unit.understands(line)) {
        unit.recordRaw(ReceivedPacket::Dropped, unit.framer.abandon(), arrival);
        unit.recordRaw(ReceivedPacket::Garbled, chunk, arrival);
        return {};
    }
    if (std::optional<std::vector<uint8_t>> stale = unit.framer.dropStale(arrival))
        unit.recordRaw(ReceivedPacket::Dropped, *stale, arrival);

    std::vector<Transmission> sent;
    for (size_t i = 0; i < count; ++i) {
        if (unit.unplugged || unit.runState(arrival) == RunState::Starting) {
            unit.recordRaw(ReceivedPacket::Ignored, std::vector<uint8_t>(chunk.begin() + static_cast<long>(i), chunk.end()), arrival);
            break;
        }
        if (std::optional<HostFrame> frame = unit.framer.push(bytes[i], arrival))
            unit.handle(*frame, arrival, sent);
    }
    return sent;
}

bool Unit::unplugged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pPrivate->unplugged;
}

void Unit::addFault(const UnitFault &fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->faults.add(fault);
}

void Unit::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->faults.clear();
}

std::vector<ReceivedPacket> Unit::receivedPackets() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pPrivate->received.entries();
}

void Unit::clearReceivedPackets()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->received.clear();
}

void Unit::powerCycle()
{
    powerCycle(Clock::now());
}

void Unit::powerCycle(TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->powerCycle(now);
}

RunState Unit::runState(TimePoint now) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pPrivate->runState(now);
}

void Unit::startFirmware(TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Private &unit = *m_pPrivate;
    now = unit.advanceTo(now);
    if (unit.runState(now) != RunState::Firmware)
        unit.firmwareUpAt = now;
    unit.advanceTo(now);
}

MotorState Unit::motorState(TimePoint now) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const Private &unit = *m_pPrivate;
    now = unit.notBefore(now);
    MotorState state;
    state.position = unit.motor.positionAt(now);
    state.target = unit.motor.target();
    state.moving = unit.motor.isMovingAt(now);
    state.readyByte = unit.motor.readyByteAt(now);
    state.motorOn = unit.motor.isOn();
    state.stepMode = unit.motor.stepMode();
    state.relayOn = unit.commands.relayOn();
    state.pwm = unit.records.bytes(RecordKind::PwmSettings);
    return state;
}

void Unit::setPosition(int32_t counter, TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->motor.setPosition(counter, m_pPrivate->advanceTo(now));
}

void Unit::setStepMode(uint8_t stepMode, TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->motor.setStepMode(stepMode, false, m_pPrivate->advanceTo(now));
    m_pPrivate->commands.storeStepMode(stepMode);
}

void Unit::setMotorOn(bool on, TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    now = m_pPrivate->advanceTo(now);
    if (on)
        m_pPrivate->motor.switchOn();
    else
        m_pPrivate->motor.switchOff(now);
}

void Unit::forceReadyByte(std::optional<uint8_t> readyByte)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pPrivate->motor.forceReadyByte(readyByte);
}

std::vector<uint8_t> Unit::recordBytes(RecordKind kind, TimePoint now) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (kind == RecordKind::MotorInformation)
        return m_pPrivate->commands.motorInformation(m_pPrivate->notBefore(now));
    return m_pPrivate->records.bytes(kind);
}

bool Unit::setRecordBytes(RecordKind kind, const std::vector<uint8_t> &bytes, TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Private &unit = *m_pPrivate;
    now = unit.advanceTo(now);
    if (!unit.records.store(kind, bytes))
        return false;
    if (kind == RecordKind::MotionConfiguration)
        unit.commands.followMotionConfiguration(false, now);
    if (kind == RecordKind::MotorInformation) {
        unit.motor.setPosition(static_cast<int32_t>(byte_order::little32(bytes, 4)), now);
        unit.motor.setStepMode(bytes[8], false, now);
        unit.commands.storeStepMode(bytes[8]);
    }
    return true;
}

std::string Unit::saveState(TimePoint now) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    StateText state;
    m_pPrivate->save(state, m_pPrivate->notBefore(now));
    return state.text();
}

bool Unit::restoreState(const std::string &text, TimePoint now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::optional<StateText> state = StateText::parse(text);
    if (!state)
        return false;
    try {
        std::unique_ptr<Private> restored(new Private(Private::setupOf(*state)));
        restored->restore(*state, now);
        restored->faults = m_pPrivate->faults;
        restored->received = m_pPrivate->received;
        m_pPrivate = std::move(restored);
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

} // namespace velmor_firmware
