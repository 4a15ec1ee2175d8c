# FTDI's static D2XX for 64-bit Windows (ftd2xx.lib of the npm package, made by MSVC with /MT),
# linked into the library's code for the checks of tests/d2xx against FTDI's own Windows code.
# Only LLD reads MSVC's static libraries: build with cmake/MinGW-w64-clang.cmake. Programs linked
# so call FT_Initialise before any other D2XX function, as FTDI asks of static linking.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VELMOR_D2XX_STATIC needs clang and LLD: configure with -DCMAKE_TOOLCHAIN_FILE=cmake/MinGW-w64-clang.cmake")
endif()

# FTDI's header and ours declare the functions without dllimport, for every target.
add_compile_definitions(FTD2XX_STATIC)

# The few parts of MSVC's runtime that MinGW's lacks; MSVC's own static runtime (libcmt) and
# its old POSIX names (oldnames), which the library's objects ask for, are not linked.
add_library(ftd2xx_msvc_runtime STATIC ${PROJECT_SOURCE_DIR}/tests/d2xx/MsvcRuntimeShims.cpp)
set_target_properties(ftd2xx PROPERTIES
  INTERFACE_LINK_LIBRARIES ftd2xx_msvc_runtime
  INTERFACE_LINK_OPTIONS "LINKER:-Xlink=-nodefaultlib:libcmt;LINKER:-Xlink=-nodefaultlib:oldnames")
