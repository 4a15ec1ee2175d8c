/* VelmorLib: control of stepper-motor driver units attached over USB.
 *
 * Every function returns a signed 32-bit result code, VELMOR_OK (0) on success. Units are
 * addressed by their 1-based index among the attached supported units (see getDeviceCount).
 * Each call is synchronous and self-contained: it opens the unit, exchanges its requests,
 * closes the unit and returns. Calls from several threads run one after another.
 */
#ifndef VELMORLIB_H
#define VELMORLIB_H

#include <stdint.h>

/* VELMOR_VERSION_MAJOR, VELMOR_VERSION_MINOR and VELMOR_VERSION_PATCH: the version of the
 * library this header belongs to (velmorGetVersion in VelmorLibExtras.h tells the loaded one's). */
#include "VelmorLibVersion.h"

/* On Windows the exports are __stdcall (WINAPI) and exported from VelmorLib.dll under their plain
 * names. Define VELMOR_STATIC when linking the library's code in statically. */
#if defined(_WIN32)
#  define VELMOR_CALL __stdcall
#  if defined(VELMOR_STATIC)
#    define VELMOR_API
#  elif defined(VELMOR_BUILDING_LIBRARY)
#    define VELMOR_API __declspec(dllexport)
#  else
#    define VELMOR_API __declspec(dllimport)
#  endif
#else
#  define VELMOR_CALL
#  define VELMOR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. Codes 2 and 17 are not used. */
enum VelmorResult {
    VELMOR_OK = 0,                              /* success */
    VELMOR_ERROR_DEVICE_INDEX = 1,              /* index below 1, above the unit count, or 100 or more; a held index whose listing ends before it */
    VELMOR_ERROR_OPEN_FAILED = 3,               /* opening the unit failed: open in another program, no access, or (on a held index) another unit stands there */
    VELMOR_ERROR_READ_MOTOR_CONFIGURATION = 4,  /* reading the motor configuration failed (setMotorCurrent) */
    VELMOR_ERROR_WRITE_MOTOR_CONFIGURATION = 5, /* writing the motor configuration failed: the unit refused a value, or the exchange failed */
    VELMOR_ERROR_READ_MOTION_CONFIGURATION = 6, /* reading the motion configuration failed (setMotorSpeed, setMotorAcceleration) */
    VELMOR_ERROR_WRITE_MOTION_CONFIGURATION = 7, /* writing the motion configuration failed: a value refused, or the exchange failed */
    VELMOR_ERROR_MOVE_FAILED = 8,               /* the move or home request failed */
    VELMOR_ERROR_MOTOR_ON_FAILED = 9,           /* switching the motor on failed */
    VELMOR_ERROR_MOTOR_OFF_FAILED = 10,         /* switching the motor off failed */
    VELMOR_ERROR_STOP_FAILED = 11,              /* stopping the motor failed */
    VELMOR_ERROR_READ_FAILED = 12,              /* reading motor information or the advanced move configuration failed */
    VELMOR_ERROR_SET_PWM_FAILED = 13,           /* setting the PWM value failed */
    VELMOR_ERROR_SET_RELAY_FAILED = 14,         /* setting the relay failed */
    VELMOR_ERROR_NOT_READY_OFF = 15,            /* a move refused: ready byte 0 (the motor is off) */
    VELMOR_ERROR_NOT_READY_4 = 16,              /* a move refused: ready byte 4 */
    VELMOR_ERROR_NOT_READY_5 = 18,              /* a move refused: ready byte 5 */
    VELMOR_ERROR_NOT_READY_6 = 19,              /* a move refused: ready byte 6 */
    VELMOR_ERROR_NOT_READY_OTHER = 20,          /* a move refused: any other ready byte but 1 (a move under way among them) */
    VELMOR_ERROR_ARGUMENT = 21,                 /* an argument is out of range, or an out-pointer is null */
    VELMOR_ERROR_WRITE_INPUT_CONFIGURATION = 22, /* writing the input configuration failed (setLimitSwitches) */
    VELMOR_ERROR_WRITE_BACKLASH = 23,           /* writing the backlash compensation failed */
    VELMOR_ERROR_WRITE_HOME_SETTINGS = 24,      /* writing the home settings failed */
    VELMOR_ERROR_ZERO_FAILED = 25,              /* zeroing the position failed */
    VELMOR_ERROR_START_COMMAND = 26,            /* the bootloader start command of the first use failed */
    VELMOR_ERROR_NOT_INITIALISED = 27,          /* initialise has not been called */
    VELMOR_ERROR_SERIAL_NOT_FOUND = 28,         /* no supported unit carries the serial number */
    VELMOR_ERROR_READ_INFORMATION = 29,         /* the first use could not read the unit's information */
    VELMOR_ERROR_INFORMATION_INVALID = 30,      /* the unit's information is not valid */
    VELMOR_ERROR_FIRMWARE_UNSUPPORTED = 31,     /* the unit's firmware major is not accepted for its hardware */
    VELMOR_ERROR_NO_RELAY = 32,                 /* the unit's hardware has no relay */
    VELMOR_ERROR_SET_PWM_STEP_MODE_FAILED = 33  /* setting the PWM step mode failed */
};

#define VELMOR_HIGHEST_RESULT_CODE 33

/* Prepares the library; every later first use of an index runs its start-up handshake again. */
VELMOR_API int32_t VELMOR_CALL initialise(void);
/* *count = number of attached supported units. Works before initialise. */
VELMOR_API int32_t VELMOR_CALL getDeviceCount(int32_t *count);
/* *index = the index of the unit whose stored serial number equals serialNumber, ignoring case;
 * -1 and 28 when none does. serialNumber may be null (an empty text). */
VELMOR_API int32_t VELMOR_CALL getDeviceIndex(const char *serialNumber, int32_t *index);

VELMOR_API int32_t VELMOR_CALL motorOn(int32_t deviceIndex);
VELMOR_API int32_t VELMOR_CALL motorOff(int32_t deviceIndex);
VELMOR_API int32_t VELMOR_CALL stopMotor(int32_t deviceIndex);
VELMOR_API int32_t VELMOR_CALL zeroMotorPosition(int32_t deviceIndex);
/* position and steps are whole full steps */
VELMOR_API int32_t VELMOR_CALL moveMotorAbsolute(int32_t deviceIndex, int32_t position);
VELMOR_API int32_t VELMOR_CALL moveMotorRelative(int32_t deviceIndex, int32_t steps);
VELMOR_API int32_t VELMOR_CALL moveMotorHome(int32_t deviceIndex);
VELMOR_API int32_t VELMOR_CALL getAbsolutePosition(int32_t deviceIndex, int32_t *position);
/* *ready = 1 when the motor is ready, else 0 */
VELMOR_API int32_t VELMOR_CALL isMotorReady(int32_t deviceIndex, uint8_t *ready);

/* speed in steps per second; stepMode: the step rate is speed times 2 to this power */
VELMOR_API int32_t VELMOR_CALL setMotorSpeed(int32_t deviceIndex, int32_t speed, int32_t stepMode);
/* acceleration in steps per second squared; 0 turns the ramp off */
VELMOR_API int32_t VELMOR_CALL setMotorAcceleration(int32_t deviceIndex, int32_t acceleration);
/* current in milliamperes */
VELMOR_API int32_t VELMOR_CALL setMotorCurrent(int32_t deviceIndex, int32_t current, uint8_t currentFlag);
/* direction 0 or 1; amount in steps */
VELMOR_API int32_t VELMOR_CALL setBacklashCompensation(int32_t deviceIndex, uint8_t enabled, uint32_t direction, int32_t amount);
/* direction 0 or 1; homeValueA and homeValueB at most 10000 */
VELMOR_API int32_t VELMOR_CALL setHomeSettings(int32_t deviceIndex, uint32_t direction, uint8_t homeFlagB, uint8_t homeFlagA,
                                               uint32_t homeValueA, uint32_t homeValueB);
/* input channels 1 to 4 (1 to 8 on hardware 27.1); types 0 (not used) to 6 */
VELMOR_API int32_t VELMOR_CALL setLimitSwitches(int32_t deviceIndex, int32_t input1, uint32_t type1, int32_t input2, uint32_t type2);
VELMOR_API int32_t VELMOR_CALL setPWM(int32_t deviceIndex, int32_t value);
VELMOR_API int32_t VELMOR_CALL setPWMStepMode(int32_t deviceIndex);
/* hardware 1.1 and 1.2 only */
VELMOR_API int32_t VELMOR_CALL setRelay(int32_t deviceIndex, uint8_t on);

#ifdef __cplusplus
}
#endif

#endif /* VELMORLIB_H */
