#include "FtdiModule.h"

#include <windows.h>

namespace {

// D2XX's FT_STATUS FT_GetLibraryVersion(LPDWORD).
using GetLibraryVersion = ULONG(WINAPI *)(DWORD *);

} // namespace

bool FtdiModule::find(const char *name, std::string *file, uint32_t *version)
{
    const HMODULE module = GetModuleHandleA(name);
    if (module == nullptr)
        return false;
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    *file = std::string(path, length);
    // void (*)() converts to and from any function pointer without a warning.
    const auto libraryVersion = reinterpret_cast<GetLibraryVersion>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "FT_GetLibraryVersion")));
    DWORD number = 0;
    *version = libraryVersion != nullptr && libraryVersion(&number) == 0 ? uint32_t(number) : 0;
    return true;
}
