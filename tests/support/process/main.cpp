// A small host program for tests that run across processes: it initialises VelmorLib, then runs
// the commands on its command line in order, one line of output each:
//   on N | off N | move N STEPS | stop N   ->  "<command> <result code>"
//   position N | ready N                   ->  "<command> <result code> <value>"
//   controlbench                           ->  "controlbench": the default bench, set through
//                                              the emulator's control API; first on the line,
//                                              it comes before the initialise
#include "VelmorEmulator.h"
#include "VelmorLib.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int32_t number(const char *text)
{
    return static_cast<int32_t>(std::strtol(text, nullptr, 10));
}

// Runs the command at argv[at]; answers how many arguments it took, 0 for an unknown command.
int runCommand(int argc, char **argv, int at)
{
    const std::string command = argv[at];
    const int left = argc - at - 1;
    if (command == "controlbench") {
        VelmorEmulator::useDefaultBench();
        std::printf("controlbench\n");
        return 1;
    }
    if (left < 1)
        return 0;
    const int32_t device = number(argv[at + 1]);
    if (command == "on" || command == "off" || command == "stop") {
        const int32_t result = command == "on" ? motorOn(device) : command == "off" ? motorOff(device) : stopMotor(device);
        std::printf("%s %d\n", command.c_str(), result);
        return 2;
    }
    if (command == "position") {
        int32_t position = 0;
        const int32_t result = getAbsolutePosition(device, &position);
        std::printf("position %d %d\n", result, position);
        return 2;
    }
    if (command == "ready") {
        uint8_t ready = 0;
        const int32_t result = isMotorReady(device, &ready);
        std::printf("ready %d %d\n", result, ready);
        return 2;
    }
    if (command == "move" && left >= 2) {
        std::printf("move %d\n", moveMotorRelative(device, number(argv[at + 2])));
        return 3;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    int at = 1;
    if (argc > 1 && std::strcmp(argv[1], "controlbench") == 0)
        at += runCommand(argc, argv, at);
    std::printf("initialise %d\n", initialise());
    while (at < argc) {
        const int taken = runCommand(argc, argv, at);
        if (taken == 0) {
            std::fprintf(stderr, "unknown command or missing argument at '%s'\n", argv[at]);
            return 2;
        }
        at += taken;
    }
    return 0;
}
