/* A C program built outside the project against the installed VelmorLib and its companion header. */
#include <VelmorLibExtras.h>

#include <stdio.h>

int main(void)
{
    int32_t result;
    int32_t count = -1;
    int32_t position = -1;
    int32_t major = -1, minor = -1, patch = -1;

    result = initialise();
    printf("initialise %d\n", (int)result);
    result = getDeviceCount(&count);
    printf("getDeviceCount %d count %d\n", (int)result, (int)count);
    result = motorOn(1);
    printf("motorOn %d\n", (int)result);
    result = getAbsolutePosition(1, &position);
    printf("getAbsolutePosition %d position %d\n", (int)result, (int)position);
    result = velmorGetVersion(&major, &minor, &patch);
    printf("velmorGetVersion %d as built %d\n", (int)result,
           major == VELMOR_VERSION_MAJOR && minor == VELMOR_VERSION_MINOR && patch == VELMOR_VERSION_PATCH);
    return 0;
}
