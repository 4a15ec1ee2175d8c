// How far a move has come after some time: at constant speed, or ramped up and down at a
// constant acceleration (a trapezoid, or a triangle when the move is too short to reach speed).
#ifndef VELMOR_FIRMWARE_MOVEPROFILE_H
#define VELMOR_FIRMWARE_MOVEPROFILE_H

namespace velmor_firmware {

class MoveProfile
{
public:
    // `distance` in full steps, `speed` in full steps/s (above 0), `acceleration` in full
    // steps/s² (0: the motor starts and stops at full speed).
    MoveProfile(double distance, double speed, double acceleration);

    double duration() const { return m_duration; }
    double distanceAt(double seconds) const;

private:
    double m_distance;
    double m_speed;
    double m_acceleration;
    double m_rampTime = 0.0;        // time to full speed (or to the peak of a triangle)
    double m_rampDistance = 0.0;
    double m_duration = 0.0;
};

} // namespace velmor_firmware

#endif
