// velmorctl's exit statuses besides the library's result codes, which a failed call exits with.
#ifndef VELMORCTL_EXITSTATUS_H
#define VELMORCTL_EXITSTATUS_H

namespace ExitStatus {

// doctor: a check found a problem.
constexpr int s_problemFound = 1;
// diff: a setting of the profile differs from the unit's, as diff(1) says it.
constexpr int s_profileDiffers = 1;
// diff: no unit at that index (the library's code 1, which would read as "differs"); 2 is what
// diff(1) gives for trouble, and a code the library never returns.
constexpr int s_diffTrouble = 2;
// EX_USAGE of sysexits.h: the command line is wrong, and nothing was run.
constexpr int s_usageError = 64;
// EX_UNAVAILABLE: a run that needs units without FTDI's D2XX library.
constexpr int s_d2xxMissing = 69;
// EX_NOINPUT: a profile's file cannot be read.
constexpr int s_noInput = 66;
// EX_CANTCREAT: save cannot write its file.
constexpr int s_cannotCreate = 73;
// EX_SOFTWARE: an exception nothing else caught.
constexpr int s_internalError = 70;
// --wait gave up, as timeout(1) does.
constexpr int s_timedOut = 124;
// --wait interrupted (128 + SIGINT), the motor stopped.
constexpr int s_interrupted = 130;

} // namespace ExitStatus

#endif
