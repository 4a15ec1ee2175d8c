// The name and the text of every result code, from one table kept in step with enum
// VelmorResult by the compiler. Every surface (velmorctl, velmor-center, the Python module, the
// Tango server) asks the library for these words.
#ifndef RESULTWORDS_H
#define RESULTWORDS_H

#include <cstdint>

class ResultWords
{
public:
    // The enum constant's name ("VELMOR_ERROR_OPEN_FAILED"); "" for the unused codes 2 and 17
    // and for a code the library does not know.
    static const char *name(int32_t code);
    // "opening the unit failed"; "unused result code" for 2 and 17, "unknown result code" for a
    // code the library does not know.
    static const char *text(int32_t code);
};

#endif // RESULTWORDS_H
