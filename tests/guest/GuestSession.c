/* A session at the bench, run inside the virtual machine on FTDI's D2XX: every unit named on the
 * command line gets the same calls, and every result is printed as one line
 * "velmor CALL SERIAL code CODE [value VALUE]" for the host to check against its units. Unit k
 * (from 1) ends at position 120 k - 20. */
#include "VelmorLib.h"

#include <stdio.h>
#include <time.h>

static void report(const char *call, const char *serial, int32_t code)
{
    printf("velmor %s %s code %d\n", call, serial, (int)code);
    fflush(stdout);
}

static void reportValue(const char *call, const char *serial, int32_t code, int32_t value)
{
    printf("velmor %s %s code %d value %d\n", call, serial, (int)code, (int)value);
    fflush(stdout);
}

static double secondsNow(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

/* Polls until the motor is ready; the last result and ready byte are reported. */
static void waitUntilReady(int32_t index, const char *serial)
{
    const double start = secondsNow();
    uint8_t ready = 0;
    int32_t code = VELMOR_OK;
    while (code == VELMOR_OK && !ready && secondsNow() - start < 20.0)
        code = isMotorReady(index, &ready);
    reportValue("isMotorReady", serial, code, ready);
}

static void runUnit(const char *serial, int32_t k)
{
    int32_t index = -1;
    int32_t position = 0;
    int32_t code = getDeviceIndex(serial, &index);
    reportValue("getDeviceIndex", serial, code, index);
    if (code != VELMOR_OK)
        return;
    /* The first call on the index runs the unit's start-up handshake. */
    report("motorOn", serial, motorOn(index));
    report("setMotorSpeed", serial, setMotorSpeed(index, 800, 4));
    report("setMotorAcceleration", serial, setMotorAcceleration(index, 0));
    report("zeroMotorPosition", serial, zeroMotorPosition(index));
    report("moveMotorAbsolute", serial, moveMotorAbsolute(index, 120 * k));
    waitUntilReady(index, serial);
    code = getAbsolutePosition(index, &position);
    reportValue("getAbsolutePosition", serial, code, position);
    report("moveMotorRelative", serial, moveMotorRelative(index, -20));
    waitUntilReady(index, serial);
    code = getAbsolutePosition(index, &position);
    reportValue("getAbsolutePosition", serial, code, position);
}

int main(int argc, char **argv)
{
    int32_t count = -1;
    int32_t code = getDeviceCount(&count);
    reportValue("getDeviceCount", "-", code, count);
    report("initialise", "-", initialise());
    for (int i = 1; i < argc; ++i)
        runUnit(argv[i], i);
    printf("velmor done\n");
    return 0;
}
