/* VelmorLib's companion functions: the library's version, what a unit is, its motor status and
 * settings read back, the values it accepts, and units held open between calls.
 *
 * They share the library's lock and per-unit state with the functions of VelmorLib.h and return
 * the same result codes. Every structure starts with `size`, which the caller sets to
 * sizeof(the structure) before the call; a size the library does not know, or a null pointer,
 * gives VELMOR_ERROR_ARGUMENT (21). The library writes a structure only on success and owns no
 * memory the caller passes.
 */
#ifndef VELMORLIBEXTRAS_H
#define VELMORLIBEXTRAS_H

#include "VelmorLib.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The library's own version, which may differ from the VELMOR_VERSION_* a program was built with. */
VELMOR_API int32_t VELMOR_CALL velmorGetVersion(int32_t *major, int32_t *minor, int32_t *patch);

/* The name of a result code's constant, "VELMOR_ERROR_OPEN_FAILED" for 3: a static zero-terminated
 * text the caller does not free. "" for the unused codes 2 and 17 and for a code the library does
 * not know; never NULL. Takes no lock. */
VELMOR_API const char *VELMOR_CALL velmorResultName(int32_t code);
/* What a result code means, "opening the unit failed" for 3: a static zero-terminated text.
 * "unused result code" for 2 and 17, "unknown result code" for a code the library does not know;
 * never NULL. Takes no lock. */
VELMOR_API const char *VELMOR_CALL velmorResultText(int32_t code);

typedef struct VelmorUnitInfo {
    uint32_t size;
    char serialNumber[20];       /* as D2XX lists it, zero-terminated */
    char description[68];        /* as D2XX lists it, zero-terminated */
    uint32_t chipType;           /* D2XX's FT_DEVICE number (5 FT232R, 6 FT2232H, 8 FT232H, 9 X-series) */
    uint32_t usbId;              /* vendor ID in the high 16 bits, product ID in the low 16 bits */
    uint32_t locationId;
    int32_t hardwareMajor;       /* from the serial number */
    int32_t hardwareMinor;
    int32_t firmwareMajor;       /* read from the unit's bootloader at its first use */
    int32_t firmwareMinor;
    char storedSerialNumber[20]; /* from the unit's information page (what getDeviceIndex matches), zero-terminated */
} VelmorUnitInfo;

/* Opens the unit as any call does (its first use runs the start-up handshake), then reads its
 * information page again. 29 when that read fails, 30 when the page is not valid. */
VELMOR_API int32_t VELMOR_CALL velmorGetUnitInfo(int32_t deviceIndex, VelmorUnitInfo *info);

typedef struct VelmorMotorStatus {
    uint32_t size;
    int32_t position;            /* full steps, truncated toward zero: what getAbsolutePosition gives */
    double positionInSteps;      /* full steps; 0.0 for a step mode the hardware does not have */
    int32_t rawPosition;         /* the unit's counter, in units of its step mode */
    uint32_t stepMode;           /* 0 is the finest: 1/16 step (1/128 on hardware 27.1) */
    uint32_t ready;              /* the ready byte; 1 means ready (what isMotorReady reports) */
    int32_t moveGate;            /* what a move would return now: 0, or 15, 16, 18, 19 or 20 */
    /* The reply's other bytes, as the unit sends them and named by where they sit: their meaning
     * is the unit's own, and the library never reads them. */
    uint32_t firstWord;          /* bytes 0 to 3 of the 14-byte motor information */
    uint32_t flag9;              /* byte 9 */
    uint32_t flag10;             /* byte 10 */
    uint32_t flag12;             /* byte 12 */
    uint32_t flag13;             /* byte 13 */
} VelmorMotorStatus;

/* One motor-information exchange. 12 when it fails. */
VELMOR_API int32_t VELMOR_CALL velmorGetMotorStatus(int32_t deviceIndex, VelmorMotorStatus *status);

typedef struct VelmorMotionSettings {
    uint32_t size;
    int32_t speed;               /* steps per second, as setMotorSpeed takes it */
    int32_t alternateSpeed;      /* steps per second; equal to speed on hardware 1.1 */
    int32_t alternateSpeedEnabled; /* 0 on hardware 1.1 */
    int32_t stepMode;            /* the step rate is speed times 2 to this power */
    int32_t acceleration;        /* steps per second squared, as setMotorAcceleration takes it (tenths dropped) */
    uint32_t accelerationTenths; /* as the unit holds it, in tenths of a step per second squared */
    int32_t accelerationMode;    /* 1: ramped; 0 after setMotorAcceleration(i, 0) */
} VelmorMotionSettings;

/* Reads the motion configuration. 6 when the read fails. */
VELMOR_API int32_t VELMOR_CALL velmorReadMotionSettings(int32_t deviceIndex, VelmorMotionSettings *settings);

typedef struct VelmorMotorSettings {
    uint32_t size;
    int32_t current;             /* milliamperes, as setMotorCurrent takes it */
    int32_t currentFlag;         /* 0 or 1 */
    int32_t wordValue;           /* the record's further values, carried unchanged by setMotorCurrent */
    int32_t byteValue;
    int32_t extendedFlag;        /* 0 or 1; 0 on units with the 10-byte record */
    double scaledValueA;         /* the unit's thousandths as a number */
    double scaledValueB;
} VelmorMotorSettings;

/* Reads the motor configuration. 4 when the read fails or its length does not fit the unit. */
VELMOR_API int32_t VELMOR_CALL velmorReadMotorSettings(int32_t deviceIndex, VelmorMotorSettings *settings);

typedef struct VelmorMoveSettings {
    uint32_t size;
    int32_t backlashEnabled;     /* 0 or 1 */
    int32_t backlashDirection;   /* 0 or 1, as setBacklashCompensation takes it */
    int32_t backlashAmount;      /* steps */
    int32_t homeDirection;       /* 0 or 1, as setHomeSettings takes it (from homeMode: 2 gives 1, else 0) */
    int32_t homeMode;            /* as the unit holds it: 1 or 2 after setHomeSettings */
    int32_t homeFlagA;           /* 0 or 1 */
    int32_t homeFlagB;           /* 0 or 1 */
    int32_t homeValueA;
    int32_t homeValueB;
} VelmorMoveSettings;

/* Reads the advanced move configuration (backlash and homing). 12 when the read fails. */
VELMOR_API int32_t VELMOR_CALL velmorReadMoveSettings(int32_t deviceIndex, VelmorMoveSettings *settings);

typedef struct VelmorLimits {
    uint32_t size;
    int32_t hardwareMajor;
    int32_t hardwareMinor;
    int32_t minimumCurrent;      /* mA */
    int32_t maximumCurrent;      /* mA */
    int32_t maximumStepRate;     /* steps per second: speed times 2 to the step mode */
    int32_t largestSpeed;        /* steps per second that setMotorSpeed can carry to the unit */
    int32_t largestStepMode;
    int32_t largestAcceleration; /* steps per second squared that setMotorAcceleration can carry */
    int32_t largestBacklashAmount; /* steps */
    int32_t largestHomeValue;    /* for homeValueA and homeValueB */
    int32_t inputChannels;       /* the inputs setLimitSwitches takes run from 1 to this */
    int32_t hasRelay;            /* 1 when setRelay works on this hardware */
    int32_t pwmLimit;            /* setPWM holds larger values at this */
} VelmorLimits;

/* What the unit at deviceIndex accepts, by its hardware version. Opens the unit as any call does. */
VELMOR_API int32_t VELMOR_CALL velmorGetLimits(int32_t deviceIndex, VelmorLimits *limits);

/* Why the unit at deviceIndex refuses the settings function named `function` ("setMotorCurrent",
 * "setMotorSpeed", "setMotorAcceleration", "setBacklashCompensation", "setHomeSettings",
 * "setLimitSwitches" or "setPWM") with `arguments`, the function's arguments after the index in
 * their order (booleans as 0 or 1): "8001 mA is above the 8000 mA maximum of this unit (hardware
 * 1.2)", several reasons joined with "; ". The text is "" when every value is within the unit's
 * range: a refusal then came from elsewhere (the exchange, or a value the unit judges by its own
 * state). Read from the hardware version in the unit's listed serial number: nothing is opened.
 * `text` receives at most `capacity` bytes, always zero-terminated (cut short if need be; 256
 * bytes hold every text). 0; 1 when no supported unit is listed at deviceIndex; 21 for a null
 * pointer, a zero capacity, another function or another number of arguments. Works before
 * initialise. */
VELMOR_API int32_t VELMOR_CALL velmorExplainRefusal(int32_t deviceIndex, const char *function, const int64_t *arguments,
                                                    int32_t argumentCount, char *text, uint32_t capacity);

/* The name of an FTDI chip by D2XX's FT_DEVICE number (VelmorUnitInfo's chipType): "FT232R" for 5,
 * "FT2232H" 6, "FT4232H" 7, "FT232H" 8, "X-series" 9, "unknown" for any other. A static text;
 * never NULL. Takes no lock. */
VELMOR_API const char *VELMOR_CALL velmorChipName(uint32_t chipType);

/* Keeps the unit open and pins deviceIndex to it: every later call on deviceIndex, the functions
 * of VelmorLib.h included, goes through the open unit, without opening, setting up and closing
 * it and without the 50 ms settling wait; it only looks at D2XX's list of attached chips (well
 * under a millisecond) to make sure the unit is still the one at deviceIndex. Holding a held
 * index again returns 0.
 *
 * A call on a held index reaches the held unit or none. When another unit, or none, is listed
 * at deviceIndex (the unit unplugged, or units before it came or went), the call sends nothing
 * and returns 3 (1 when the listing ends before deviceIndex), and the unit's handle is closed;
 * the pin stays until velmorReleaseUnit, velmorReleaseAllUnits or initialise, and once the unit
 * is listed at deviceIndex again (plugged in again) the calls reach it again. A call on the index
 * where the held unit is listed now returns 3 and sends nothing (velmorGetUnitState says why).
 * A D2XX call that fails on the held unit closes its handle too, and the next call opens it
 * anew. Release held units before the library is unloaded: a unit still held when the process
 * ends is closed by the operating system. */
VELMOR_API int32_t VELMOR_CALL velmorHoldUnit(int32_t deviceIndex);
/* Closes a held unit and removes its pin; 0 also when none was held. 1 for an index below 1 or
 * of 100 or more. */
VELMOR_API int32_t VELMOR_CALL velmorReleaseUnit(int32_t deviceIndex);
VELMOR_API int32_t VELMOR_CALL velmorReleaseAllUnits(void);

/* Finds the unit by its USB serial number as D2XX lists it (any letter case), opening no other
 * unit, and holds it as
 * velmorHoldUnit does at the index it is listed at now. *deviceIndex gets that index whenever
 * the unit is listed. 28 when no supported unit with that serial is listed, 3 when it is open in
 * another program or the index is held for another unit, 1 when it is listed beyond index 99,
 * 27 before initialise; the codes of a first use (26, 29, 30, 31) as for any call. A hold of the
 * same unit at an index it has left keeps its pin but gives up its handle. */
VELMOR_API int32_t VELMOR_CALL velmorHoldUnitBySerial(const char *serialNumber, int32_t *deviceIndex);

/* The index at which the unit with this USB serial number is listed now, read from D2XX's list
 * alone: nothing is opened. 28 when it is not listed, 1 when it is listed beyond index 99, 21
 * for a null pointer. Works before initialise. */
VELMOR_API int32_t VELMOR_CALL velmorWhereIsUnit(const char *serialNumber, int32_t *deviceIndex);

typedef struct VelmorUnitState {
    uint32_t size;
    int32_t listed;              /* 1 when a supported unit is listed at the index */
    char serialNumber[20];       /* listed: its USB serial number as D2XX lists it, zero-terminated */
    int32_t openElsewhere;       /* listed: 1 when D2XX lists it open and no hold of this process
                                    has it open: another program uses it */
    int32_t heldElsewhereAt;     /* listed: the other index at which this process holds this unit
                                    (it moved there since), 0 when none */
    int32_t held;                /* 1 when this process holds the index */
    int32_t heldOpen;            /* held: 1 while the held unit is open */
    int32_t heldUnitAway;        /* held: 1 when the held unit is not the one listed at the index */
    char heldSerialNumber[20];   /* held: the held unit's USB serial number, zero-terminated */
    int32_t heldUnitListedAt;    /* held: the index the held unit is listed at now, 0 when it is
                                    not listed (unplugged) */
} VelmorUnitState;

/* What is known of deviceIndex without opening anything: the unit listed there, this process's
 * hold of it, and whether another program has it open (D2XX's listing tells). What a code 3 on
 * that index means: busy in another program, unplugged, or held here at another index. Returns
 * 0, 1 for an index below 1 or of 100 or more, or 21. Works before initialise. */
VELMOR_API int32_t VELMOR_CALL velmorGetUnitState(int32_t deviceIndex, VelmorUnitState *state);

typedef struct VelmorD2xxInfo {
    uint32_t size;
    int32_t loaded;              /* 1 when a D2XX library answers the library's D2XX calls */
    uint32_t libraryVersion;     /* what FTDI's FT_GetLibraryVersion tells: 0x00010424 for 1.4.24;
                                    0 for a library without that function (the build tree's emulator) */
    char file[1024];             /* loaded: the file answering the D2XX calls, zero-terminated */
    char error[1024];            /* not loaded: what the system's loader said, zero-terminated */
} VelmorD2xxInfo;

/* Which D2XX library is in use. On Linux the library loads libftd2xx.so (as the system's loader
 * finds it: LD_LIBRARY_PATH, the library's own folder, then the standard ones after ldconfig) at
 * its first D2XX call, this one included; on Windows it is the ftd2xx.dll that VelmorLib.dll
 * imports. Without a D2XX library every D2XX call fails: no unit is listed, getDeviceCount gives
 * 0 units, and the calls on a unit return 1 (27 before initialise). Returns 0, or 21. */
VELMOR_API int32_t VELMOR_CALL velmorGetD2xxInfo(VelmorD2xxInfo *info);

/* Unit profiles: a unit's name, the physical unit its positions are given in (full steps per
 * that unit), travel limits in it, and its settings, as a versioned JSON document keyed by the
 * unit's USB serial number. The functions that give text write at most `capacity` bytes,
 * always zero-terminated (cut short if need be), and set *needed (when not NULL) to the bytes
 * the whole text takes with its terminating zero: a needed above capacity means the buffer was
 * short. */

/* The unit's profile, read from it: the settings it reads back, the ones only a write sets
 * (limit switches, PWM, relay) as this process last applied them with velmorApplyProfile, and the name, unit
 * and travel limits of its loaded profile. The read's code when one fails; 21 for a null text
 * or a zero capacity. */
VELMOR_API int32_t VELMOR_CALL velmorReadProfile(int32_t deviceIndex, char *json, uint32_t capacity, uint32_t *needed);

#define VELMOR_PROFILE_FIX 1u        /* a value the unit refuses goes as the nearest it accepts */
#define VELMOR_PROFILE_DRY_RUN 2u    /* nothing is written: the report says what would be */
#define VELMOR_PROFILE_ANY_UNIT 4u   /* the profile may name another unit's serial number */

/* Writes the profile's settings that differ from the unit's, one setting at a time, and reports
 * each (JSON): "applied", "unchanged", "fixed" (with the value written), "refused" (with the
 * unit's range) or "failed" (with the call's code). A profile that does not parse, is of a
 * newer version, or names another unit (without VELMOR_PROFILE_ANY_UNIT) is applied in no
 * part: 21, with the reason in the report. Returns 0, or the code of the first setting refused
 * (21) or failed. */
VELMOR_API int32_t VELMOR_CALL velmorApplyProfile(int32_t deviceIndex, const char *json, uint32_t flags, char *report,
                                                  uint32_t capacity, uint32_t *needed);

/* The profile's settings that the unit does not hold now (JSON): per setting the profile's
 * value and the unit's ("unknown" for one only a write sets and never written here). 21 for a
 * profile that does not parse, with the reason in the report. */
VELMOR_API int32_t VELMOR_CALL velmorDiffProfile(int32_t deviceIndex, const char *json, char *report, uint32_t capacity,
                                                 uint32_t *needed);

/* Loads the profiles of `folder` (every *.json in it), or with NULL those of the default
 * folders (VELMOR_PROFILES=DIR, or none with VELMOR_PROFILES=off; else the user's
 * velmorlib/units in $XDG_CONFIG_HOME or ~/.config, %APPDATA% on Windows, then
 * /etc/velmorlib/units, the user's winning). From then on a loaded profile's travel limits apply
 * to every move of its unit in this process, by serial number: moveMotorAbsolute and
 * moveMotorRelative return 21 and move nothing for a target beyond them (homing is not limited,
 * and a unit outside its limits may move back toward them). The report (JSON) names the files
 * taken and each file left out with its line and why; a file left out is never half taken.
 * Replaces what was loaded before. Returns 0. Works before initialise. */
VELMOR_API int32_t VELMOR_CALL velmorLoadProfiles(const char *folder, char *report, uint32_t capacity, uint32_t *needed);

typedef struct VelmorBrokerClient {
    int64_t uid;                 /* the connected program's user */
    int64_t pid;
    char command[64];            /* its command name, zero-terminated */
} VelmorBrokerClient;

typedef struct VelmorBrokerInfo {
    uint32_t size;
    int32_t running;             /* 1 when velmord answers: the calls of this program go to it */
    char socket[256];            /* where the library looks for velmord (VELMOR_BROKER, else the
                                    user instance's socket, else the system instance's), "" when
                                    VELMOR_BROKER is off or no socket is there */
    int32_t clientCount;         /* running: the connections velmord serves, this one included */
    VelmorBrokerClient clients[32]; /* running: the first 32 of them */
} VelmorBrokerInfo;

/* Whether velmord, the program that owns the units and serves every program's calls on this
 * machine, runs, and who is connected to it. The library's calls go to velmord whenever it
 * runs, unless VELMOR_BROKER=off or this program holds units itself. Returns 0, or 21. */
VELMOR_API int32_t VELMOR_CALL velmorGetBrokerInfo(VelmorBrokerInfo *info);

/* For a program that serves the library's calls to other programs on the machine (velmord):
 * a session is one host's own part of the library's state, whether it called initialise and
 * which indices it holds, while the units, their handles and their start-up state are the
 * process's. Holds of one unit in several sessions share its one open handle, and calls on
 * different held units run at the same time. A unit that any session holds is open for the
 * calls of every session on the index it is listed at. */
typedef struct VelmorSession VelmorSession;
/* A new session, not initialised and holding nothing. 21 for a null pointer. */
VELMOR_API int32_t VELMOR_CALL velmorOpenSession(VelmorSession **session);
/* Releases the session's holds and ends it; no thread may be in it. 21 for a null pointer. */
VELMOR_API int32_t VELMOR_CALL velmorCloseSession(VelmorSession *session);
/* The calling thread's calls use `session` until it enters another; NULL returns it to the
 * process's own session. A thread in a session never sends its calls to velmord. Returns 0. */
VELMOR_API int32_t VELMOR_CALL velmorEnterSession(VelmorSession *session);

#ifdef __cplusplus
}
#endif

#endif /* VELMORLIBEXTRAS_H */
