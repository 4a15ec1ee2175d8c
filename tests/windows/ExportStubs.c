/* Stand-in definitions of the exports for a DLL built from the public headers alone: each must
 * match its declaration in calling convention and types, or this does not compile. */
#include "VelmorLibExtras.h"

VELMOR_API int32_t VELMOR_CALL initialise(void) { return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL getDeviceCount(int32_t *count) { *count = 0; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL getDeviceIndex(const char *serialNumber, int32_t *index)
{
    (void)serialNumber;
    *index = -1;
    return VELMOR_ERROR_SERIAL_NOT_FOUND;
}
VELMOR_API int32_t VELMOR_CALL motorOn(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL motorOff(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL stopMotor(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL zeroMotorPosition(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL moveMotorAbsolute(int32_t deviceIndex, int32_t position)
{
    (void)deviceIndex;
    (void)position;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL moveMotorRelative(int32_t deviceIndex, int32_t steps)
{
    (void)deviceIndex;
    (void)steps;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL moveMotorHome(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL getAbsolutePosition(int32_t deviceIndex, int32_t *position)
{
    (void)deviceIndex;
    *position = 0;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL isMotorReady(int32_t deviceIndex, uint8_t *ready)
{
    (void)deviceIndex;
    *ready = 1;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setMotorSpeed(int32_t deviceIndex, int32_t speed, int32_t stepMode)
{
    (void)deviceIndex;
    (void)speed;
    (void)stepMode;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setMotorAcceleration(int32_t deviceIndex, int32_t acceleration)
{
    (void)deviceIndex;
    (void)acceleration;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setMotorCurrent(int32_t deviceIndex, int32_t current, uint8_t currentFlag)
{
    (void)deviceIndex;
    (void)current;
    (void)currentFlag;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setBacklashCompensation(int32_t deviceIndex, uint8_t enabled, uint32_t direction, int32_t amount)
{
    (void)deviceIndex;
    (void)enabled;
    (void)direction;
    (void)amount;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setHomeSettings(int32_t deviceIndex, uint32_t direction, uint8_t homeFlagB, uint8_t homeFlagA,
                                               uint32_t homeValueA, uint32_t homeValueB)
{
    (void)deviceIndex;
    (void)direction;
    (void)homeFlagB;
    (void)homeFlagA;
    (void)homeValueA;
    (void)homeValueB;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setLimitSwitches(int32_t deviceIndex, int32_t input1, uint32_t type1, int32_t input2, uint32_t type2)
{
    (void)deviceIndex;
    (void)input1;
    (void)type1;
    (void)input2;
    (void)type2;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setPWM(int32_t deviceIndex, int32_t value)
{
    (void)deviceIndex;
    (void)value;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL setPWMStepMode(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL setRelay(int32_t deviceIndex, uint8_t on)
{
    (void)deviceIndex;
    (void)on;
    return VELMOR_OK;
}

VELMOR_API int32_t VELMOR_CALL velmorGetVersion(int32_t *major, int32_t *minor, int32_t *patch)
{
    *major = VELMOR_VERSION_MAJOR;
    *minor = VELMOR_VERSION_MINOR;
    *patch = VELMOR_VERSION_PATCH;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorGetUnitInfo(int32_t deviceIndex, VelmorUnitInfo *info)
{
    (void)deviceIndex;
    (void)info;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorGetMotorStatus(int32_t deviceIndex, VelmorMotorStatus *status)
{
    (void)deviceIndex;
    (void)status;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorReadMotionSettings(int32_t deviceIndex, VelmorMotionSettings *settings)
{
    (void)deviceIndex;
    (void)settings;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorReadMotorSettings(int32_t deviceIndex, VelmorMotorSettings *settings)
{
    (void)deviceIndex;
    (void)settings;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorReadMoveSettings(int32_t deviceIndex, VelmorMoveSettings *settings)
{
    (void)deviceIndex;
    (void)settings;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorGetLimits(int32_t deviceIndex, VelmorLimits *limits)
{
    (void)deviceIndex;
    (void)limits;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorHoldUnit(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorReleaseUnit(int32_t deviceIndex) { (void)deviceIndex; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorReleaseAllUnits(void) { return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorGetD2xxInfo(VelmorD2xxInfo *info)
{
    (void)info;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorHoldUnitBySerial(const char *serialNumber, int32_t *deviceIndex)
{
    (void)serialNumber;
    (void)deviceIndex;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorWhereIsUnit(const char *serialNumber, int32_t *deviceIndex)
{
    (void)serialNumber;
    (void)deviceIndex;
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorGetUnitState(int32_t deviceIndex, VelmorUnitState *state)
{
    (void)deviceIndex;
    (void)state;
    return VELMOR_OK;
}
VELMOR_API const char *VELMOR_CALL velmorResultName(int32_t code) { (void)code; return ""; }
VELMOR_API const char *VELMOR_CALL velmorResultText(int32_t code) { (void)code; return ""; }
VELMOR_API int32_t VELMOR_CALL velmorExplainRefusal(int32_t deviceIndex, const char *function, const int64_t *arguments,
                                                    int32_t argumentCount, char *text, uint32_t capacity)
{
    (void)deviceIndex;
    (void)function;
    (void)arguments;
    (void)argumentCount;
    (void)capacity;
    text[0] = '\0';
    return VELMOR_OK;
}
VELMOR_API const char *VELMOR_CALL velmorChipName(uint32_t chipType) { (void)chipType; return ""; }
VELMOR_API int32_t VELMOR_CALL velmorGetBrokerInfo(VelmorBrokerInfo *info) { (void)info; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorOpenSession(VelmorSession **session) { *session = 0; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorCloseSession(VelmorSession *session) { (void)session; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorEnterSession(VelmorSession *session) { (void)session; return VELMOR_OK; }
VELMOR_API int32_t VELMOR_CALL velmorReadProfile(int32_t deviceIndex, char *json, uint32_t capacity, uint32_t *needed)
{
    (void)deviceIndex;
    (void)capacity;
    (void)needed;
    json[0] = '\0';
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorApplyProfile(int32_t deviceIndex, const char *json, uint32_t flags, char *report,
                                                  uint32_t capacity, uint32_t *needed)
{
    (void)deviceIndex;
    (void)json;
    (void)flags;
    (void)capacity;
    (void)needed;
    report[0] = '\0';
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorDiffProfile(int32_t deviceIndex, const char *json, char *report, uint32_t capacity,
                                                 uint32_t *needed)
{
    (void)deviceIndex;
    (void)json;
    (void)capacity;
    (void)needed;
    report[0] = '\0';
    return VELMOR_OK;
}
VELMOR_API int32_t VELMOR_CALL velmorLoadProfiles(const char *folder, char *report, uint32_t capacity, uint32_t *needed)
{
    (void)folder;
    (void)report;
    (void)capacity;
    (void)needed;
    return VELMOR_OK;
}
