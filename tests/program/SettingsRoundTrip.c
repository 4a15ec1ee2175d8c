/* A C program that knows VelmorLib only by its two public headers: on every attached unit it
 * writes each setting the companion functions read back, with values taken from the unit's
 * limits, and reads it back equal; the last unit does the same while held. Exit status 0 when
 * everything agrees; each disagreement is printed. */
#include "VelmorLibExtras.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expectCode(const char *what, int32_t unit, int32_t got, int32_t wanted)
{
    if (got != wanted) {
        printf("unit %d: %s returned %d, expected %d\n", (int)unit, what, (int)got, (int)wanted);
        ++failures;
    }
}

static void expectValue(const char *what, int32_t unit, long long got, long long wanted)
{
    if (got != wanted) {
        printf("unit %d: %s read back as %lld, written %lld\n", (int)unit, what, got, wanted);
        ++failures;
    }
}

static void roundTrip(int32_t unit)
{
    VelmorLimits limits;
    VelmorMotionSettings motion;
    VelmorMotorSettings motor;
    VelmorMoveSettings move;
    int32_t speed, current;

    memset(&limits, 0, sizeof limits);
    limits.size = sizeof limits;
    expectCode("velmorGetLimits", unit, velmorGetLimits(unit, &limits), VELMOR_OK);
    /* a speed whose step rate at step mode 2 stays within the unit's */
    speed = limits.maximumStepRate / 4 - unit;
    current = limits.maximumCurrent - 10 * unit;

    expectCode("setMotorSpeed", unit, setMotorSpeed(unit, speed, 2), VELMOR_OK);
    expectCode("setMotorAcceleration", unit, setMotorAcceleration(unit, 1234), VELMOR_OK);
    expectCode("setMotorCurrent", unit, setMotorCurrent(unit, current, 1), VELMOR_OK);
    expectCode("setBacklashCompensation", unit, setBacklashCompensation(unit, 1, 1, 321), VELMOR_OK);
    expectCode("setHomeSettings", unit,
               setHomeSettings(unit, 1, 1, 0, 77, (uint32_t)limits.largestHomeValue), VELMOR_OK);

    memset(&motion, 0, sizeof motion);
    motion.size = sizeof motion;
    expectCode("velmorReadMotionSettings", unit, velmorReadMotionSettings(unit, &motion), VELMOR_OK);
    expectValue("speed", unit, motion.speed, speed);
    expectValue("alternate speed", unit, motion.alternateSpeed, speed);
    expectValue("step mode", unit, motion.stepMode, 2);
    expectValue("acceleration", unit, motion.acceleration, 1234);
    expectValue("acceleration mode", unit, motion.accelerationMode, 1);

    memset(&motor, 0, sizeof motor);
    motor.size = sizeof motor;
    expectCode("velmorReadMotorSettings", unit, velmorReadMotorSettings(unit, &motor), VELMOR_OK);
    expectValue("current", unit, motor.current, current);
    expectValue("current flag", unit, motor.currentFlag, 1);

    memset(&move, 0, sizeof move);
    move.size = sizeof move;
    expectCode("velmorReadMoveSettings", unit, velmorReadMoveSettings(unit, &move), VELMOR_OK);
    expectValue("backlash enabled", unit, move.backlashEnabled, 1);
    expectValue("backlash direction", unit, move.backlashDirection, 1);
    expectValue("backlash amount", unit, move.backlashAmount, 321);
    expectValue("home direction", unit, move.homeDirection, 1);
    expectValue("home flag A", unit, move.homeFlagA, 0);
    expectValue("home flag B", unit, move.homeFlagB, 1);
    expectValue("home value A", unit, move.homeValueA, 77);
    expectValue("home value B", unit, move.homeValueB, limits.largestHomeValue);
}

int main(void)
{
    int32_t count = 0, unit;
    expectCode("initialise", 0, initialise(), VELMOR_OK);
    expectCode("getDeviceCount", 0, getDeviceCount(&count), VELMOR_OK);
    if (count < 2) {
        printf("expected at least two units on the bench, found %d\n", (int)count);
        return 1;
    }
    for (unit = 1; unit < count; ++unit)
        roundTrip(unit);
    expectCode("velmorHoldUnit", count, velmorHoldUnit(count), VELMOR_OK);
    roundTrip(count);
    expectCode("velmorReleaseAllUnits", 0, velmorReleaseAllUnits(), VELMOR_OK);
    if (failures == 0)
        printf("%d units: every setting read back as written\n", (int)count);
    return failures == 0 ? 0 : 1;
}
