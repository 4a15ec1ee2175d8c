// A C++ program built outside the project against the installed VelmorLib.
#include <VelmorLib.hpp>

#include <iostream>

int main()
{
    std::cout << "initialise " << initialise() << '\n';
    int32_t count = -1;
    const int32_t countResult = getDeviceCount(&count);
    std::cout << "getDeviceCount " << countResult << " count " << count << '\n';
    std::cout << "motorOn " << motorOn(1) << '\n';
    int32_t position = -1;
    const int32_t positionResult = getAbsolutePosition(1, &position);
    std::cout << "getAbsolutePosition " << positionResult << " position " << position << '\n';
    int32_t major = -1, minor = -1, patch = -1;
    const int32_t versionResult = velmorGetVersion(&major, &minor, &patch);
    const bool asBuilt = major == VELMOR_VERSION_MAJOR && minor == VELMOR_VERSION_MINOR && patch == VELMOR_VERSION_PATCH;
    std::cout << "velmorGetVersion " << versionResult << " as built " << asBuilt << '\n';
    // The C++ face: a sized record, and a code thrown with its words (printed only if wrong).
    auto status = velmor::sized<VelmorMotorStatus>();
    try {
        velmor::check(velmorGetMotorStatus(0, &status), "velmorGetMotorStatus");
        std::cout << "index 0 accepted\n";
    } catch (const velmor::Error &error) {
        if (error.name() != "VELMOR_ERROR_DEVICE_INDEX")
            std::cout << error.what() << '\n';
    }
    return 0;
}
