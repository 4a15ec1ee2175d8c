# The Windows release archive (cpack -G ZIP): VelmorLib.dll with its import libraries for MinGW
# (libVelmorLib.dll.a) and MSVC (VelmorLib.lib), VelmorLib.h, velmorctl.exe, velmord.exe, and the
# DLLs they need: Qt5Core.dll and the MinGW runtime. ftd2xx.dll is not in it: FTDI's driver
# installs it.
find_program(VELMOR_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14)
if(VELMOR_LLVM_DLLTOOL)
  # An MSVC-style import library; MSVC's linker reads it as one of its own.
  set(VELMOR_MSVC_IMPORT_LIBRARY ${PROJECT_BINARY_DIR}/lib/VelmorLib.lib)
  add_custom_command(OUTPUT ${VELMOR_MSVC_IMPORT_LIBRARY}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/lib
    COMMAND ${VELMOR_LLVM_DLLTOOL} -m i386:x86-64 -d ${VELMOR_EXPORTS_DEF}
            -D VelmorLib.dll -l ${VELMOR_MSVC_IMPORT_LIBRARY}
    DEPENDS ${VELMOR_EXPORTS_DEF}
    COMMENT "MSVC import library of VelmorLib.dll")
  add_custom_target(VelmorLib_msvc_import_library ALL DEPENDS ${VELMOR_MSVC_IMPORT_LIBRARY})
  install(FILES ${VELMOR_MSVC_IMPORT_LIBRARY} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
else()
  message(WARNING "llvm-dlltool not found (Debian package llvm): the archive has no VelmorLib.lib for MSVC")
endif()

get_target_property(_velmor_qtcore_dll Qt5::Core IMPORTED_LOCATION_RELEASE)
install(FILES ${_velmor_qtcore_dll} ${VELMOR_MINGW_RUNTIME_DLLS}
  DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Library)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME VelmorLib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "VelmorLib-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
