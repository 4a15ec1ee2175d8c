// A small host program for tests that run across processes: it initialises VelmorLib, then runs
// the commands on its command line in order, one line of output each:
//   on N | off N | move N STEPS | stop N   ->  "<command> <result code>"
//   position N | ready N                   ->  "<command> <result code> <value>"
//   controlbench                           ->  "controlbench": the default bench, set through
//                                              the emulator's control API; first on the line,
//                                              it comes before the initialise
//   hold N | release N | status N          ->  "<command> <result code>"
//   speed N SPEED STEPMODE                 ->  "speed <result code>"
//   repeat K                               ->  the commands after it, K times over
//   note TEXT                              ->  TEXT on standard error (a test waits for it)
//   waitfile PATH                          ->  waits (up to 60 s) until PATH exists
//   timed                                  ->  first on the line: every line ends with the
//                                              call's time, " ms=<milliseconds>"
#include "VelmorEmulator.h"
#include "VelmorLib.h"

#include "VelmorLibExtras.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

bool s_timed = false;
std::chrono::steady_clock::time_point s_callStart;

void printLine(const char *format, const std::string &command, int32_t code)
{
    std::printf(format, command.c_str(), code);
    if (s_timed) {
        const auto elapsed = std::chrono::steady_clock::now() - s_callStart;
        std::printf(" ms=%lld", static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    }
    std::printf("\n");
    std::fflush(stdout);
}

bool fileExists(const std::string &path)
{
    return std::ifstream(path).good();
}

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
    s_callStart = std::chrono::steady_clock::now();
    if (command == "note") {
        std::fprintf(stderr, "%s\n", argv[at + 1]);
        std::fflush(stderr);
        return 2;
    }
    if (command == "waitfile") {
        for (int waited = 0; waited < 6000 && !fileExists(argv[at + 1]); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 2;
    }
    const int32_t device = number(argv[at + 1]);
    if (command == "hold" || command == "release") {
        printLine("%s %d", command, command == "hold" ? velmorHoldUnit(device) : velmorReleaseUnit(device));
        return 2;
    }
    if (command == "status") {
        VelmorMotorStatus status{};
        status.size = sizeof status;
        printLine("%s %d", command, velmorGetMotorStatus(device, &status));
        return 2;
    }
    if (command == "speed" && left >= 3) {
        printLine("%s %d", command, setMotorSpeed(device, number(argv[at + 2]), number(argv[at + 3])));
        return 4;
    }
    if (command == "on" || command == "off" || command == "stop") {
        const int32_t result = command == "on" ? motorOn(device) : command == "off" ? motorOff(device) : stopMotor(device);
        printLine("%s %d", command, result);
        return 2;
    }
    if (command == "position") {
        int32_t position = 0;
        const int32_t result = getAbsolutePosition(device, &position);
        std::printf("position %d %d\n", result, position);
        std::fflush(stdout);
        return 2;
    }
    if (command == "ready") {
        uint8_t ready = 0;
        const int32_t result = isMotorReady(device, &ready);
        std::printf("ready %d %d\n", result, ready);
        std::fflush(stdout);
        return 2;
    }
    if (command == "move" && left >= 2) {
        printLine("%s %d", command, moveMotorRelative(device, number(argv[at + 2])));
        return 3;
    }
    return 0;
}

// Runs the commands from argv[at] to the end; false on an unknown one.
bool runCommands(int argc, char **argv, int at)
{
    while (at < argc) {
        if (std::strcmp(argv[at], "repeat") == 0 && at + 1 < argc) {
            const int times = number(argv[at + 1]);
            for (int round = 0; round < times; ++round) {
                if (!runCommands(argc, argv, at + 2))
                    return false;
            }
            return true;
        }
        const int taken = runCommand(argc, argv, at);
        if (taken == 0) {
            std::fprintf(stderr, "unknown command or missing argument at '%s'\n", argv[at]);
            return false;
        }
        at += taken;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    int at = 1;
    if (argc > at && std::strcmp(argv[at], "timed") == 0) {
        s_timed = true;
        ++at;
    }
    if (argc > at && std::strcmp(argv[at], "controlbench") == 0)
        at += runCommand(argc, argv, at);
    std::printf("initialise %d\n", initialise());
    std::fflush(stdout);
    return runCommands(argc, argv, at) ? 0 : 2;
}
