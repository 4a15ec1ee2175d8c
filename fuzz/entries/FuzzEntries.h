// The bodies of the fuzz targets, shared by the libFuzzer programs and the unit suite's
// regression test. Each takes one input and returns an empty text, or the expectation the input
// broke; a crash or a hang is a finding as well.
#ifndef VELMOR_FUZZ_FUZZENTRIES_H
#define VELMOR_FUZZ_FUZZENTRIES_H

#include <QByteArray>
#include <QString>
#include <QVector>

namespace FuzzEntries {

// The unit's bytes as the packet engine reads them while requests wait for replies.
QString packetEngine(const QByteArray &input);
// The bootloader's information reply and its information page.
QString deviceInformation(const QByteArray &input);
// A USB serial number as the identity of a unit.
QString serialIdentity(const QByteArray &input);
// The configuration records from reply bytes and from data streams.
QString records(const QByteArray &input);
// velmorctl's command line, and the lines of its shell.
QString velmorctlCommandLine(const QByteArray &input);
QString velmorctlShell(const QByteArray &input);
// The emulator's bench text (VELMOR_EMULATOR_BENCH) and its state file.
QString emulatorBenchText(const QByteArray &input);
QString emulatorStateFile(const QByteArray &input);
// A message from a client to velmord.
QString brokerMessage(const QByteArray &input);

struct Target
{
    const char *name; // the folder under fuzz/corpus and fuzz/regressions
    QString (*entry)(const QByteArray &input);
};

QVector<Target> targets();

} // namespace FuzzEntries

#endif
