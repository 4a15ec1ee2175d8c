/* A C program built outside the project against the installed VelmorLib. */
#include <VelmorLib.h>

#include <stdio.h>

int main(void)
{
    int32_t result;
    int32_t count = -1;
    int32_t position = -1;

    result = initialise();
    printf("initialise %d\n", (int)result);
    result = getDeviceCount(&count);
    printf("getDeviceCount %d count %d\n", (int)result, (int)count);
    result = motorOn(1);
    printf("motorOn %d\n", (int)result);
    result = getAbsolutePosition(1, &position);
    printf("getAbsolutePosition %d position %d\n", (int)result, (int)position);
    return 0;
}
