#include "FtdiLibraryLoader.h"

#include <dlfcn.h>
#include <link.h>

namespace {

using GetLibraryVersion = FT_STATUS (*)(DWORD *);

// A D2XX library must have every function the transport calls. The process's global scope
// still comes first for each, as it would for a library linked at build time: a program that
// preloads a D2XX stand-in (a call recorder, say) or links a D2XX library itself is served by it.
template <typename Pointer>
bool resolve(void *handle, const char *name, Pointer &pointer)
{
    void *own = dlsym(handle, name);
    if (own == nullptr)
        return false;
    void *global = dlsym(RTLD_DEFAULT, name);
    pointer = reinterpret_cast<Pointer>(global != nullptr ? global : own);
    return true;
}

std::string fileOf(void *function)
{
    Dl_info info;
    if (dladdr(function, &info) != 0 && info.dli_fname != nullptr)
        return info.dli_fname;
    return std::string();
}

std::string fileOfHandle(void *handle, const std::string &name)
{
    link_map *map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr && *map->l_name != 0)
        return map->l_name;
    return name;
}

std::string loaderMessage(const std::string &name)
{
    const char *message = dlerror();
    return message != nullptr ? std::string(message) : name + ": cannot be loaded";
}

} // namespace

const char *FtdiLibraryLoader::defaultName()
{
    return "libftd2xx.so";
}

bool FtdiLibraryLoader::load(const std::string &name)
{
    dlerror();
    // Local: FTDI's library carries its own USB code, whose symbols must not stand in for
    // another library's in the process. dlmopen into the program's own namespace is dlopen as
    // the loader sees it from this library, with this library's run path; the sanitizers'
    // dlopen would search from their runtime instead.
    void *handle = dlmopen(LM_ID_BASE, name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        m_origin = loaderMessage(name);
        return false;
    }
    const char *missing = nullptr;
#define VELMOR_FTDI_RESOLVE(function) \
    if (missing == nullptr && !resolve(handle, #function, m_functions.function)) \
        missing = #function;
    VELMOR_FTDI_FUNCTIONS(VELMOR_FTDI_RESOLVE)
#undef VELMOR_FTDI_RESOLVE
    if (missing != nullptr) {
        m_origin = fileOfHandle(handle, name) + " is not a D2XX library: it has no " + missing;
        dlclose(handle);
        return false;
    }
    m_origin = fileOf(reinterpret_cast<void *>(m_functions.FT_Open));
    GetLibraryVersion version = nullptr;
    DWORD number = 0;
    if (resolve(handle, "FT_GetLibraryVersion", version) && version(&number) == FT_OK)
        m_libraryVersion = number;
    // Never closed: D2XX stays loaded for the life of the process, as a linked library would.
    return true;
}
