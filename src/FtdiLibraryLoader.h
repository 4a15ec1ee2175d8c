// Finds the D2XX library at the first D2XX call and resolves the functions the transport calls.
// Without a D2XX library every function answers FT_OTHER_ERROR, as a D2XX that cannot reach
// the bus would: no unit is listed, and the exports return what they return for an empty bus.
#ifndef FTDILIBRARYLOADER_H
#define FTDILIBRARYLOADER_H

#include "FtdiFunctions.h"

#include <cstdint>
#include <string>

class FtdiLibraryLoader
{
public:
    // Loads the D2XX library by the name the platform gives it (libftd2xx.so, ftd2xx.dll).
    static const FtdiLibraryLoader &instance();

    // Loads the library `name` as the platform's loader finds it: a bare name through its search
    // path, a name with a slash as that file.
    explicit FtdiLibraryLoader(const std::string &name);
    FtdiLibraryLoader(const FtdiLibraryLoader &) = delete;
    FtdiLibraryLoader &operator=(const FtdiLibraryLoader &) = delete;

    // Never a null entry: the library's functions, or the ones that answer FT_OTHER_ERROR.
    const FtdiFunctions &functions() const { return m_functions; }
    bool isLoaded() const { return m_loaded; }
    // Loaded: the file the functions come from. Not loaded: what the platform's loader said.
    const std::string &origin() const { return m_origin; }
    // FTDI's own library tells its version (0x00010424 for 1.4.24); 0 for a library without
    // FT_GetLibraryVersion, such as the emulator.
    uint32_t libraryVersion() const { return m_libraryVersion; }

    static const char *defaultName();

private:
    // The platform's part: fills every entry and the version, or says why it could not.
    bool load(const std::string &name);
    void useUnavailableFunctions();

    FtdiFunctions m_functions;
    bool m_loaded = false;
    std::string m_origin;
    uint32_t m_libraryVersion = 0;
};

// The D2XX functions of the library in use.
inline const FtdiFunctions &ftdi()
{
    return FtdiLibraryLoader::instance().functions();
}

#endif // FTDILIBRARYLOADER_H
