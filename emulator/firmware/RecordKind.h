// The records a unit keeps, each as the bytes it sends and receives them in.
#ifndef VELMOR_FIRMWARE_RECORDKIND_H
#define VELMOR_FIRMWARE_RECORDKIND_H

namespace velmor_firmware {

enum class RecordKind {
    MotionConfiguration,        // written by action 0, read by 23: 8 or 11 bytes
    MotorConfiguration,         // 1 / 24: 10 or 11 bytes
    InputConfiguration,         // 3 / 25: 18, 19 or 25 bytes
    AdvancedMoveConfiguration,  // 6 / 27: 11 bytes
    PwmSettings,                // 5, never read back: 1 or 2 bytes
    MotorInformation,           // 22: 14 bytes; position, step mode and ready byte are live
    Block21,                    // read-only blocks the host has no use for: zeros unless set
    Block26,
    Block28
};

} // namespace velmor_firmware

#endif
