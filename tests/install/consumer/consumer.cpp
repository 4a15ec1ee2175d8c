// A C++ program built outside the project against the installed VelmorLib.
#include <VelmorLib.h>

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
    return 0;
}
