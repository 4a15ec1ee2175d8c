#include "Unit.h"

#include "ByteOrder.h"
#include "FaultEffect.h"
#include "ReplyPacket.h"
#include "StateText.h"
#include "UnitPrivate.h"

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

} // namespace

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
