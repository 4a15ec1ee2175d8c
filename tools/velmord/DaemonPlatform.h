// What velmord's main needs of the operating system, one file per platform
// (DaemonPlatformPosix.cpp, DaemonPlatformWindows.cpp).
#ifndef VELMORD_DAEMONPLATFORM_H
#define VELMORD_DAEMONPLATFORM_H

namespace DaemonPlatform {

// Sets an environment variable of this process, for the library loaded in it as well.
void setVariable(const char *name, const char *value);
// A write to a client that went away fails instead of ending velmord (POSIX: SIGPIPE).
void ignoreBrokenPipes();
// Calls `stop` on SIGINT and SIGTERM (POSIX), on Ctrl+C, Ctrl+Break and the console's closing,
// logoff or shutdown (Windows). `stop` must be safe from a signal handler.
void stopOn(void (*stop)());

} // namespace DaemonPlatform

#endif // VELMORD_DAEMONPLATFORM_H
