// The texts of the library's result codes, one table for the whole tool.
#ifndef VELMORCTL_RESULTTEXT_H
#define VELMORCTL_RESULTTEXT_H

#include <cstdint>
#include <string>

class ResultText
{
public:
    // "success" for 0, "unknown result code N" for a code the library does not define.
    static std::string of(int32_t code);
    static int32_t highestCode();
};

#endif
