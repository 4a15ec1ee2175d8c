#include "MotorDriverCommandSet.h"

#include "ByteOrder.h"
#include "MotionConfigurationRecord.h"

namespace velmor_firmware {

MotorDriverCommandSet::MotorDriverCommandSet(const UnitModel &model, StoredRecords &records, Motor &motor)
    : m_model(model)
    , m_records(records)
    , m_motor(motor)
    , m_limits(model)
{
}

Answer MotorDriverCommandSet::execute(uint8_t code, const std::vector<uint8_t> &payload, TimePoint now)
{
    const int action = UnitModel::actionOfCode(code);
    if (!m_model.supportsAction(action))
        return Answer::of(Answer::NotRecognised);
    if (isRecordWrite(action))
        return writeRecord(action, payload, now);
    if (action == Move)
        return move(payload, now);
    // Every other action carries no payload; one that comes with bytes is not one the unit knows.
    if (!payload.empty())
        return Answer::of(Answer::NotRecognised);
    if (isRead(action))
        return read(action, now);
    return runCommand(action, now);
}

std::vector<uint8_t> MotorDriverCommandSet::motorInformation(TimePoint now) const
{
    std::vector<uint8_t> bytes = m_records.bytes(RecordKind::MotorInformation);
    byte_order::putLittle32(bytes, 4, static_cast<uint32_t>(m_motor.positionAt(now)));
    bytes[8] = m_motor.stepMode();
    bytes[11] = m_motor.readyByteAt(now);
    return bytes;
}

void MotorDriverCommandSet::followMotionConfiguration(bool keepSteps, TimePoint now)
{
    const MotionConfigurationRecord record(m_records.bytes(RecordKind::MotionConfiguration));
    if (record.stepExponent() <= m_model.fullStepMode())
        m_motor.setStepMode(static_cast<uint8_t>(m_model.fullStepMode() - record.stepExponent()), keepSteps, now);
    Motor::Motion motion;
    motion.speed = record.speed();
    motion.acceleration = record.isRamped() ? record.acceleration() / 10.0 : 0.0;
    m_motor.setMotion(motion, now);
}

void MotorDriverCommandSet::storeStepMode(uint8_t stepMode)
{
    if (stepMode > m_model.fullStepMode())
        return;
    MotionConfigurationRecord record(m_records.bytes(RecordKind::MotionConfiguration));
    record.setStepExponent(static_cast<uint8_t>(m_model.fullStepMode() - stepMode));
    m_records.store(RecordKind::MotionConfiguration, record.bytes());
}

// Actions the firmware knows without doing anything the host can see answer success.
Answer MotorDriverCommandSet::runCommand(int action, TimePoint now)
{
    switch (action) {
    case MotorOn:
        m_motor.switchOn();
        break;
    case MotorOff:
        m_motor.switchOff(now);
        break;
    case Stop:
        m_motor.stop(now);
        break;
    case RelayOn:
    case RelayOff:
        m_relayOn = action == RelayOn;
        break;
    case ZeroPosition:
        if (m_motor.isMovingAt(now))
            return Answer::of(Answer::MotorBusy);
        m_motor.setPosition(0, now);
        break;
    case MoveHome:
        return moveHome(now);
    default:
        break;
    }
    return Answer();
}

Answer MotorDriverCommandSet::writeRecord(int action, const std::vector<uint8_t> &payload, TimePoint now)
{
    const RecordKind kind = writtenRecord(action);
    if (payload.size() != m_records.length(kind))
        return Answer::of(Answer::NotRecognised);
    const uint8_t status = check(action, payload);
    if (status != Answer::Success)
        return Answer::of(status);
    m_records.store(kind, payload);
    if (kind == RecordKind::MotionConfiguration)
        followMotionConfiguration(true, now);
    return Answer();
}

Answer MotorDriverCommandSet::read(int action, TimePoint now) const
{
    if (action == ReadMotorInformation)
        return Answer::withData(motorInformation(now));
    return Answer::withData(m_records.bytes(readRecord(action)));
}

Answer MotorDriverCommandSet::move(const std::vector<uint8_t> &payload, TimePoint now)
{
    if (payload.size() != s_moveOrderLength || payload[0] != s_relativeMove || payload[1] > 1)
        return Answer::of(Answer::NotRecognised);
    if (const uint8_t refusal = motorRefusal(now))
        return Answer::of(refusal);
    const int64_t steps = byte_order::little32(payload, 2);
    m_motor.moveBy(payload[1] == 0 ? steps : -steps, now);
    return Answer();
}

Answer MotorDriverCommandSet::moveHome(TimePoint now)
{
    if (const uint8_t refusal = motorRefusal(now))
        return Answer::of(refusal);
    m_motor.moveTo(0, now);
    return Answer();
}

uint8_t MotorDriverCommandSet::motorRefusal(TimePoint now) const
{
    if (!m_motor.isOn())
        return Answer::MotorOff;
    if (m_motor.isMovingAt(now))
        return Answer::MotorBusy;
    return Answer::Success;
}

bool MotorDriverCommandSet::isRecordWrite(int action)
{
    return action == WriteMotionConfiguration || action == WriteMotorConfiguration || action == WriteInputConfiguration
        || action == WritePwmSettings || action == WriteAdvancedMoveConfiguration;
}

RecordKind MotorDriverCommandSet::writtenRecord(int action)
{
    switch (action) {
    case WriteMotionConfiguration: return RecordKind::MotionConfiguration;
    case WriteMotorConfiguration: return RecordKind::MotorConfiguration;
    case WriteInputConfiguration: return RecordKind::InputConfiguration;
    case WritePwmSettings: return RecordKind::PwmSettings;
    default: return RecordKind::AdvancedMoveConfiguration;
    }
}

RecordKind MotorDriverCommandSet::readRecord(int action)
{
    switch (action) {
    case 21: return RecordKind::Block21;
    case 23: return RecordKind::MotionConfiguration;
    case 24: return RecordKind::MotorConfiguration;
    case 25: return RecordKind::InputConfiguration;
    case 26: return RecordKind::Block26;
    case 27: return RecordKind::AdvancedMoveConfiguration;
    default: return RecordKind::Block28;
    }
}

uint8_t MotorDriverCommandSet::check(int action, const std::vector<uint8_t> &bytes) const
{
    switch (action) {
    case WriteMotionConfiguration: return m_limits.checkMotionConfiguration(bytes);
    case WriteMotorConfiguration: return m_limits.checkMotorConfiguration(bytes);
    case WriteInputConfiguration: return m_limits.checkInputConfiguration(bytes);
    case WritePwmSettings: return m_limits.checkPwmSettings(bytes);
    default: return m_limits.checkAdvancedMoveConfiguration(bytes);
    }
}

} // namespace velmor_firmware
