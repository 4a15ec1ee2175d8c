# The Windows build's own setup: every program and DLL in one folder, as they are shipped, and
# when cross-building, every test run under Wine through a wrapper made for this build.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
# The MinGW runtime DLLs that the programs need beside them, where MinGW's GCC finds them (with
# the clang toolchain too, which links the same runtime).
set(VELMOR_MINGW_RUNTIME_DLLS "")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${VELMOR_MINGW_GXX} -print-file-name=${dll}
    OUTPUT_VARIABLE _velmor_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(_velmor_dll "${_velmor_dll}" REALPATH)
  if(EXISTS "${_velmor_dll}")
    list(APPEND VELMOR_MINGW_RUNTIME_DLLS "${_velmor_dll}")
  endif()
endforeach()
get_target_property(_velmor_qtcore_dll Qt5::Core IMPORTED_LOCATION_RELEASE)

if(CMAKE_CROSSCOMPILING)
  find_program(VELMOR_WINE NAMES wine64 PATHS /usr/lib/wine REQUIRED)
  set(VELMOR_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
  set(_velmor_wine_dirs "")
  foreach(file ${VELMOR_MINGW_RUNTIME_DLLS} ${_velmor_qtcore_dll})
    get_filename_component(dir "${file}" DIRECTORY)
    list(APPEND _velmor_wine_dirs "Z:${dir}")
  endforeach()
  list(REMOVE_DUPLICATES _velmor_wine_dirs)
  # Wine's own separator is the semicolon of a CMake list.
  set(VELMOR_WINE_PATH "${_velmor_wine_dirs}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run.sh
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)
endif()
