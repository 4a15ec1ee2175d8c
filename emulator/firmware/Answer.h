// What the unit answers to one framed request: a status byte and its data.
#ifndef VELMOR_FIRMWARE_ANSWER_H
#define VELMOR_FIRMWARE_ANSWER_H

#include <cstdint>
#include <vector>

namespace velmor_firmware {

struct Answer
{
    // Status bytes of the unit (bootloader and motor-driver firmware share 0 and 1).
    enum Status : uint8_t {
        Success = 0,
        NotRecognised = 1,
        MotorBusy = 100,
        MotorOff = 101,
        MotionConfigurationOutOfRange = 200,
        MotorConfigurationOutOfRange = 201,
        InterfaceConfigurationOutOfRange = 202
    };

    uint8_t status = Success;
    std::vector<uint8_t> data;

    static Answer of(uint8_t status) { Answer answer; answer.status = status; return answer; }
    static Answer withData(std::vector<uint8_t> data) { Answer answer; answer.data = std::move(data); return answer; }
};

} // namespace velmor_firmware

#endif
