// velmord: owns every attached unit and serves the library's calls of every program on the
// machine, so that programs share units instead of locking each other out.
#include "DaemonPlatform.h"
#include "Listener.h"
#include "Log.h"
#include "Server.h"
#include "VelmorLibExtras.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string usage()
{
    return std::string("Usage: velmord [--socket PATH] [--verbose]\n"
                       "Owns the attached units and serves the library's calls of every program on this machine.\n"
                       "\n")
           + Listener::kPlaceHelp
           + "  --verbose      log every call\n"
             "  --help         show this text\n"
             "  --version      show the library's version\n";
}

struct Options
{
    std::string socketPath;
    bool verbose = false;
};

// 0 to go on; otherwise the exit status.
int parse(int argc, char **argv, Options &options)
{
    for (int at = 1; at < argc; ++at) {
        const std::string word = argv[at];
        if (word == "--socket" && at + 1 < argc) {
            options.socketPath = argv[++at];
        } else if (word == "--verbose") {
            options.verbose = true;
        } else if (word == "--help") {
            std::fputs(usage().c_str(), stdout);
            return -1;
        } else if (word == "--version") {
            int32_t major = 0, minor = 0, patch = 0;
            velmorGetVersion(&major, &minor, &patch);
            std::printf("velmord %d.%d.%d\n", major, minor, patch);
            return -1;
        } else {
            std::fprintf(stderr, "velmord: unknown option '%s'\n%s", word.c_str(), usage().c_str());
            return 64;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    const int parsed = parse(argc, argv, options);
    if (parsed != 0)
        return parsed < 0 ? 0 : parsed;
    Log::setVerbose(options.verbose);
    // velmord makes the library's calls itself.
    DaemonPlatform::setVariable("VELMOR_BROKER", "off");
    DaemonPlatform::ignoreBrokenPipes();

    Listener listener;
    if (options.socketPath.empty() && listener.adoptActivated()) {
        Log::line("listening on " + listener.path() + " (socket activation)");
    } else {
        std::string error;
        if (!listener.listenAt(options.socketPath.empty() ? Listener::defaultPath() : options.socketPath, &error)) {
            Log::line(error);
            return 69;
        }
        Log::line("listening on " + listener.path());
    }
    DaemonPlatform::stopOn(&Listener::stop);

    Server(listener).run();

    Log::line("stopping");
    listener.removeSocketFile();
    // Clients still connected see the connection close; the units close with the process.
    std::fflush(nullptr);
    std::_Exit(0);
}
