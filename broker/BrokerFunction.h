// The library functions a Call message names, by number. Numbers are never reused: a function
// that goes away leaves a gap.
#ifndef BROKERFUNCTION_H
#define BROKERFUNCTION_H

#include <cstdint>

enum class BrokerFunction : uint16_t {
    Initialise = 1,
    GetDeviceCount = 2,
    GetDeviceIndex = 3,
    MotorOn = 4,
    MotorOff = 5,
    StopMotor = 6,
    ZeroMotorPosition = 7,
    MoveMotorAbsolute = 8,
    MoveMotorRelative = 9,
    MoveMotorHome = 10,
    GetAbsolutePosition = 11,
    IsMotorReady = 12,
    SetMotorSpeed = 13,
    SetMotorAcceleration = 14,
    SetMotorCurrent = 15,
    SetBacklashCompensation = 16,
    SetHomeSettings = 17,
    SetLimitSwitches = 18,
    SetPWM = 19,
    SetPWMStepMode = 20,
    SetRelay = 21,
    GetUnitInfo = 40,
    GetMotorStatus = 41,
    ReadMotionSettings = 42,
    ReadMotorSettings = 43,
    ReadMoveSettings = 44,
    GetLimits = 45,
    ExplainRefusal = 46,
    HoldUnit = 47,
    ReleaseUnit = 48,
    ReleaseAllUnits = 49,
    HoldUnitBySerial = 50,
    WhereIsUnit = 51,
    GetUnitState = 52,
    GetD2xxInfo = 53,
    ReadProfile = 54,
    ApplyProfile = 55,
    DiffProfile = 56,
    LoadProfiles = 57,
};

#endif // BROKERFUNCTION_H
