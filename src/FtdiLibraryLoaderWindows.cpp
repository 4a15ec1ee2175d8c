#include "FtdiLibraryLoader.h"

#include <windows.h>

namespace {

using GetLibraryVersion = FT_STATUS(WINAPI *)(DWORD *);

std::string moduleFile(HMODULE module)
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path, length);
}

} // namespace

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
    const HMODULE module = GetModuleHandleA(defaultName());
    if (module == nullptr) {
        // FTDI's static library, linked into the program.
        m_origin = "FTDI's D2XX linked into the program";
        return true;
    }
    m_origin = moduleFile(module);
    // void (*)() converts to and from any function pointer without a warning.
    const auto version = reinterpret_cast<GetLibraryVersion>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "FT_GetLibraryVersion")));
    DWORD number = 0;
    if (version != nullptr && version(&number) == FT_OK)
        m_libraryVersion = number;
    return true;
}
