// The motor as a test sees it at a given time.
#ifndef VELMOR_FIRMWARE_MOTORSTATE_H
#define VELMOR_FIRMWARE_MOTORSTATE_H

#include <cstdint>
#include <vector>

namespace velmor_firmware {

struct MotorState
{
    int32_t position = 0;       // the position counter, in units of the step mode
    int32_t target = 0;         // where the running (or last) move ends
    bool moving = false;
    uint8_t readyByte = 0;      // as the motor information reports it: 0 off, 1 ready, 2 moving, or forced
    bool motorOn = false;
    uint8_t stepMode = 0;       // 0 finest; 4 (7 on hardware 27.1) whole steps
    bool relayOn = false;
    std::vector<uint8_t> pwm;   // the PWM settings as last written
};

} // namespace velmor_firmware

#endif
