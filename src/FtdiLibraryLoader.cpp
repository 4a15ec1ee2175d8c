#include "FtdiLibraryLoader.h"

namespace {

// A stand-in for one D2XX function: the same signature, nothing touched, FT_OTHER_ERROR.
template <typename Function>
struct Unavailable;

template <typename... Arguments>
struct Unavailable<FT_STATUS(FTDI_CALL *)(Arguments...)>
{
    static FT_STATUS FTDI_CALL call(Arguments...) { return FT_OTHER_ERROR; }
};

} // namespace

const FtdiLibraryLoader &FtdiLibraryLoader::instance()
{
    static const FtdiLibraryLoader s_loader(defaultName());
    return s_loader;
}

FtdiLibraryLoader::FtdiLibraryLoader(const std::string &name)
{
    m_loaded = load(name);
    if (!m_loaded)
        useUnavailableFunctions();
}

void FtdiLibraryLoader::useUnavailableFunctions()
{
#define VELMOR_FTDI_UNAVAILABLE(name) m_functions.name = &Unavailable<decltype(m_functions.name)>::call;
    VELMOR_FTDI_FUNCTIONS(VELMOR_FTDI_UNAVAILABLE)
#undef VELMOR_FTDI_UNAVAILABLE
    m_libraryVersion = 0;
}
