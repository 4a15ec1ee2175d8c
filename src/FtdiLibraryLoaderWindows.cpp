#include "FtdiLibraryLoader.h"

#include "FtdiModule.h"

const char *FtdiLibraryLoader::defaultName()
{
    return "ftd2xx.dll";
}

// VelmorLib.dll imports ftd2xx.dll by name: Windows has bound the functions before any call,
// so the table takes their imported addresses.
bool FtdiLibraryLoader::load(const std::string &name)
{
    if (name != defaultName()) {
        m_origin = name + ": VelmorLib on Windows uses the ftd2xx.dll it imports";
        return false;
    }
#define VELMOR_FTDI_IMPORTED(function) m_functions.function = &::function;
    VELMOR_FTDI_FUNCTIONS(VELMOR_FTDI_IMPORTED)
#undef VELMOR_FTDI_IMPORTED
    if (!FtdiModule::find(defaultName(), &m_origin, &m_libraryVersion))
        m_origin = "FTDI's D2XX linked into the program";
    return true;
}
