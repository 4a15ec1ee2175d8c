// Windows: the loaded ftd2xx.dll as a module, apart from the D2XX declarations (whose integer
// names windows.h declares too).
#ifndef FTDIMODULE_H
#define FTDIMODULE_H

#include <cstdint>
#include <string>

class FtdiModule
{
public:
    // False when no module of that name is loaded (FTDI's static library linked in). Else its
    // file, and the version FT_GetLibraryVersion gives (0 without that function).
    static bool find(const char *name, std::string *file, uint32_t *version);
};

#endif // FTDIMODULE_H
