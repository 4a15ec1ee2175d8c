// libFuzzer's entry point around one fuzz entry: a broken expectation aborts, which libFuzzer
// reports as a crash and saves the input of.
#ifndef VELMOR_FUZZ_FUZZMAIN_H
#define VELMOR_FUZZ_FUZZMAIN_H

#include "FuzzEntries.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define VELMOR_FUZZ_TARGET(entry)                                                                   \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)                         \
    {                                                                                               \
        const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data),     \
                                                         static_cast<int>(size));                   \
        const QString broken = entry(input);                                                        \
        if (!broken.isEmpty()) {                                                                    \
            std::fprintf(stderr, "broken expectation: %s\n", qPrintable(broken));                   \
            std::abort();                                                                           \
        }                                                                                           \
        return 0;                                                                                   \
    }

#endif
