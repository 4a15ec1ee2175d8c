// The motor-driver firmware's command set: actions 0 to 20 command the motor or write a record
// and answer without data; actions 21 to 28 read a record. Which actions a unit knows and how
// long its records are depend on its hardware and firmware versions.
#ifndef VELMOR_FIRMWARE_MOTORDRIVERCOMMANDSET_H
#define VELMOR_FIRMWARE_MOTORDRIVERCOMMANDSET_H

#include "Answer.h"
#include "Motor.h"
#include "RecordKind.h"
#include "RecordLimits.h"
#include "StoredRecords.h"
#include "UnitModel.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace velmor_firmware {

class MotorDriverCommandSet
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum Action {
        WriteMotionConfiguration = 0,
        WriteMotorConfiguration = 1,
        Move = 2,
        WriteInputConfiguration = 3,
        WritePwmSettings = 5,
        WriteAdvancedMoveConfiguration = 6,
        MotorOn = 7,
        MotorOff = 8,
        Stop = 9,
        RelayOn = 12,
        RelayOff = 13,
        ZeroPosition = 16,
        MoveHome = 18,
        FirstRead = 21,
        ReadMotorInformation = 22
    };

    // Move order: kind, direction (0 up, 1 down), whole steps (4 bytes LE).
    static constexpr size_t s_moveOrderLength = 6;
    static constexpr uint8_t s_relativeMove = 1;

    MotorDriverCommandSet(const UnitModel &model, StoredRecords &records, Motor &motor);

    static bool isMotorDriverCode(uint8_t code) { return UnitModel::actionOfCode(code) >= 0; }
    Answer execute(uint8_t code, const std::vector<uint8_t> &payload, TimePoint now);

    // The 14 bytes of action 22: word, position counter, step mode, flag, flag, ready byte,
    // flag, flag; the words and flags come from the stored template.
    std::vector<uint8_t> motorInformation(TimePoint now) const;
    bool relayOn() const { return m_relayOn; }
    void setRelayOn(bool on) { m_relayOn = on; }

    // The motor takes its step mode and speed from the stored motion configuration.
    void followMotionConfiguration(bool keepSteps, TimePoint now);
    // The stored step exponent follows a step mode set on the motor directly.
    void storeStepMode(uint8_t stepMode);

private:
    Answer runCommand(int action, TimePoint now);
    Answer writeRecord(int action, const std::vector<uint8_t> &payload, TimePoint now);
    Answer read(int action, TimePoint now) const;
    Answer move(const std::vector<uint8_t> &payload, TimePoint now);
    Answer moveHome(TimePoint now);
    uint8_t motorRefusal(TimePoint now) const;

    static bool isRead(int action) { return action >= FirstRead; }
    static bool isRecordWrite(int action);
    static RecordKind writtenRecord(int action);
    static RecordKind readRecord(int action);
    uint8_t check(int action, const std::vector<uint8_t> &bytes) const;

    const UnitModel &m_model;
    StoredRecords &m_records;
    Motor &m_motor;
    RecordLimits m_limits;
    bool m_relayOn = false;
};

} // namespace velmor_firmware

#endif
