// FTDI's static D2XX for 64-bit Windows was built by MSVC against its own static runtime. Linked
// by LLD into a MinGW program, MinGW's runtime (msvcrt.dll) serves every call it makes but
// these three, which newer MSVC runtimes have and msvcrt.dll lacks. Each keeps MSVC's symbol
// name through an assembler label.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void typeInfoDestructor() {}

} // namespace

// operator delete(void *, size_t): msvcrt.dll's operator new takes its memory from malloc.
extern "C" void msvcSizedDelete(void *pointer, std::size_t) __asm__("??3@YAXPEAX_K@Z");
extern "C" void msvcSizedDelete(void *pointer, std::size_t)
{
    std::free(pointer);
}

// type_info's vftable: MSVC's type descriptors point at it, and no code of FTDI's calls through it.
extern "C" const void *const msvcTypeInfoVftable[1] __asm__("??_7type_info@@6B@");
extern "C" const void *const msvcTypeInfoVftable[1] = {reinterpret_cast<const void *>(&typeInfoDestructor)};

// The one printf entry point of the universal runtime, behind FTDI's logging: options and locale
// only tune the format, and msvcrt.dll's vfprintf writes to the same FILE.
extern "C" int msvcStdioVfprintf(std::uint64_t options, std::FILE *stream, const char *format, void *locale,
                                 va_list arguments) __asm__("__stdio_common_vfprintf");
extern "C" int msvcStdioVfprintf(std::uint64_t, std::FILE *stream, const char *format, void *, va_list arguments)
{
    return std::vfprintf(stream, format, arguments);
}
