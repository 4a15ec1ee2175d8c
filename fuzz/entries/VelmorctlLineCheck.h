// What every line velmorctl parses must come to, from the command line or the shell: a usage
// error with words for a person, or invocations whose every part was checked.
#ifndef VELMOR_FUZZ_VELMORCTLLINECHECK_H
#define VELMOR_FUZZ_VELMORCTLLINECHECK_H

#include "CommandLineParser.h"

#include <QString>

// Empty, or the expectation the words broke.
QString checkVelmorctlLine(const std::vector<std::string> &words, CommandLineParser::Source source);

#endif
