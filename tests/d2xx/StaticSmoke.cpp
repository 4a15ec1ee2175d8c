// The library's own code linked with FTDI's static D2XX for Windows, on a machine with no units
// attached (Wine): FTDI's library lists no interfaces, so the exports find no units.
#include <VelmorLib.h>
#include <ftd2xx.h>

#include <cstdio>

namespace {

struct Check {
    const char *what;
    int32_t value;
    int32_t expected;
};

} // namespace

int main()
{
    if (FT_Initialise() != FT_OK) {
        std::printf("FAIL: FT_Initialise\n");
        return 1;
    }
    const int32_t initialised = initialise();
    int32_t count = -1;
    const int32_t counted = getDeviceCount(&count);
    const int32_t motor = motorOn(1);
    FT_Finalise();

    const Check checks[] = {
        {"initialise()", initialised, VELMOR_OK},
        {"getDeviceCount(&n)", counted, VELMOR_OK},
        {"n", count, 0},
        {"motorOn(1)", motor, VELMOR_ERROR_DEVICE_INDEX},
    };
    int failures = 0;
    for (const Check &check : checks) {
        if (check.value != check.expected) {
            std::printf("FAIL: %s is %d, expected %d\n", check.what, static_cast<int>(check.value),
                        static_cast<int>(check.expected));
            ++failures;
        }
    }
    if (failures > 0)
        return 1;
    std::printf("PASS: on FTDI's static D2XX, initialise() = %d, getDeviceCount(&n) = %d with n = %d, "
                "motorOn(1) = %d\n",
                static_cast<int>(initialised), static_cast<int>(counted), static_cast<int>(count),
                static_cast<int>(motor));
    return 0;
}
