// The motor as the firmware drives it: switched on or off, a position counter in units of the
// current step mode, and at most one move at a time that runs on the clock. Nothing runs in the
// background: where the motor is follows from when its move started, whenever someone asks.
#ifndef VELMOR_FIRMWARE_MOTOR_H
#define VELMOR_FIRMWARE_MOTOR_H

#include <chrono>
#include <cstdint>
#include <optional>

namespace velmor_firmware {

class Motor
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum ReadyByte : uint8_t { Off = 0, Ready = 1, Moving = 2 };

    struct Motion
    {
        double speed = 400.0;           // full steps/s
        double acceleration = 0.0;      // full steps/s²; 0: no ramp
    };

    // Everything that makes up the motor, with the move's start given as time elapsed.
    struct Snapshot
    {
        bool on = false;
        uint8_t stepMode = 0;
        int forcedReadyByte = -1;
        int32_t origin = 0;
        int32_t target = 0;
        bool moveStarted = false;
        int64_t moveElapsedMicroseconds = 0;
        Motion motion;
    };

    // `fullStepMode`: the step mode that counts whole steps; each mode below it halves the step.
    explicit Motor(uint8_t fullStepMode);

    bool isOn() const { return m_on; }
    void switchOn() { m_on = true; }
    void switchOff(TimePoint now);

    bool isMovingAt(TimePoint now) const;
    int32_t positionAt(TimePoint now) const;
    // Where the running (or last) move ends.
    int32_t target() const { return m_target; }
    uint8_t stepMode() const { return m_stepMode; }

    uint8_t readyByteAt(TimePoint now) const;
    void forceReadyByte(std::optional<uint8_t> readyByte) { m_forcedReadyByte = readyByte; }

    // A move of whole steps up (positive) or down; the counter saturates at its 32-bit range.
    void moveBy(int64_t fullSteps, TimePoint now);
    void moveTo(int32_t counter, TimePoint now);
    void stop(TimePoint now);
    void setPosition(int32_t counter, TimePoint now);
    // With `keepSteps` the counter (and a running move) is rescaled so that it still counts the
    // same whole steps; without, the counter stays as it is.
    void setStepMode(uint8_t stepMode, bool keepSteps, TimePoint now);
    // A running move goes on from where it is at the new speed.
    void setMotion(const Motion &motion, TimePoint now);

    Snapshot snapshot(TimePoint now) const;
    void restore(const Snapshot &snapshot, TimePoint now);

private:
    double countsPerStep() const;
    double countsPerStep(uint8_t stepMode) const;
    double secondsSinceMoveStart(TimePoint now) const;
    double moveDistanceInSteps() const;
    // Settles the move at `now`: it goes on from the position reached, as a new move.
    void restartFrom(TimePoint now);
    static int32_t saturated(double counter);

    uint8_t m_fullStepMode;
    bool m_on = false;
    uint8_t m_stepMode = 0;
    std::optional<uint8_t> m_forcedReadyByte;
    Motion m_motion;
    int32_t m_origin = 0;           // the counter when the move started (the position at rest)
    int32_t m_target = 0;
    bool m_moveStarted = false;
    TimePoint m_moveStart;
};

} // namespace velmor_firmware

#endif
