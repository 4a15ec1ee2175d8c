# Cross build for 64-bit Windows with clang and LLD against MinGW-w64: the same target, runtime
# and Qt as cmake/MinGW-w64.cmake, whose settings it takes, but a linker that also reads MSVC's
# static libraries, such as FTDI's own D2XX for Windows. Debian's clang does not find the GCC of
# the posix thread model ("12-posix" is no version it parses), so its C++ headers and libraries
# are named here.
include(${CMAKE_CURRENT_LIST_DIR}/MinGW-w64.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${VELMOR_MINGW_TRIPLET})
set(CMAKE_CXX_COMPILER_TARGET ${VELMOR_MINGW_TRIPLET})
# Only MinGW's headers and libraries: not the build machine's /usr/include and /usr/lib.
set(CMAKE_SYSROOT_COMPILE /usr/${VELMOR_MINGW_TRIPLET})
set(CMAKE_SYSROOT_LINK /usr/${VELMOR_MINGW_TRIPLET})

execute_process(COMMAND ${VELMOR_MINGW_GXX} -print-libgcc-file-name
  OUTPUT_VARIABLE _velmor_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(VELMOR_MINGW_GCC_LIBRARY_DIR "${_velmor_libgcc}" DIRECTORY)
set(_velmor_cxx_include ${VELMOR_MINGW_GCC_LIBRARY_DIR}/include/c++)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES
  ${_velmor_cxx_include} ${_velmor_cxx_include}/${VELMOR_MINGW_TRIPLET} ${_velmor_cxx_include}/backward)

# LLD's MinGW driver, unlike GNU ld, has no --push-state: CMake asks the linker named here before
# choosing how to pass --whole-archive.
set(CMAKE_LINKER lld-link)

# MinGW's GCC keeps thread_local variables in emulated TLS (__emutls_v.name), and so does the
# libstdc++ that it built: std::call_once's own variables are found only under those names.
set(CMAKE_C_FLAGS_INIT -femulated-tls)
set(CMAKE_CXX_FLAGS_INIT -femulated-tls)

# libstdc++ of the posix thread model needs winpthread, which GCC's driver adds by itself.
set(_velmor_link_flags "-fuse-ld=lld -L${VELMOR_MINGW_GCC_LIBRARY_DIR} -lpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_velmor_link_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_velmor_link_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_velmor_link_flags}")
