// velmord's serving loop in a program of its own whose emulated units the command line makes
// misbehave, for the tests that kill it:
//   velmord_server_with_faults SOCKET [silent UNIT]...
// "silent UNIT" makes the unit at bus position UNIT (from 0) answer no motor information.
#include "Listener.h"
#include "Log.h"
#include "Server.h"
#include "UnitFaults.h"
#include "VelmorEmulator.h"

#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 64;
    ::setenv("VELMOR_BROKER", "off", 1);
    for (int at = 2; at + 1 < argc; at += 2) {
        if (std::string(argv[at]) != "silent")
            return 64;
        auto fault = faults::silence(0x41);
        fault.times = -1;
        VelmorEmulator::addUnitFault(size_t(std::atoi(argv[at + 1])), fault);
    }
    Listener listener;
    std::string error;
    if (!listener.listenAt(argv[1], &error)) {
        Log::line(error);
        return 69;
    }
    Log::line("listening on " + listener.path());
    Server(listener).run();
    return 0;
}
