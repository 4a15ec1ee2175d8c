# Windows: VelmorLib.dll imports ftd2xx.dll by name, through an import library made from our own
# declarations of the D2XX functions (d2xx/FtdiLibrary.h), so that the DLL loads whichever
# ftd2xx.dll the machine has: FTDI's, installed with its driver, or the emulator's.
file(STRINGS ${PROJECT_SOURCE_DIR}/d2xx/FtdiLibrary.h _velmor_ftdi_lines REGEX "^FTDI_FUNCTION\\(")
set(_velmor_ftdi_def "LIBRARY ftd2xx.dll\nEXPORTS\n")
foreach(line ${_velmor_ftdi_lines})
  string(REGEX REPLACE "^FTDI_FUNCTION\\(([A-Za-z0-9_]+),.*" "\\1" name "${line}")
  string(APPEND _velmor_ftdi_def "    ${name}\n")
endforeach()
set(VELMOR_FTDI_DEF ${PROJECT_BINARY_DIR}/ftd2xx.def)
file(CONFIGURE OUTPUT ${VELMOR_FTDI_DEF} CONTENT "${_velmor_ftdi_def}")

find_program(VELMOR_DLLTOOL NAMES ${VELMOR_MINGW_TRIPLET}-dlltool dlltool REQUIRED)
set(VELMOR_FTDI_IMPORT_LIBRARY ${PROJECT_BINARY_DIR}/lib/libftd2xx-import.a)
add_custom_command(OUTPUT ${VELMOR_FTDI_IMPORT_LIBRARY}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/lib
  COMMAND ${VELMOR_DLLTOOL} --input-def ${VELMOR_FTDI_DEF} --dllname ftd2xx.dll
          --output-lib ${VELMOR_FTDI_IMPORT_LIBRARY}
  DEPENDS ${VELMOR_FTDI_DEF}
  COMMENT "Import library of ftd2xx.dll")
add_custom_target(ftd2xx_import_library DEPENDS ${VELMOR_FTDI_IMPORT_LIBRARY})
add_library(ftd2xx_import INTERFACE)
target_link_libraries(ftd2xx_import INTERFACE ${VELMOR_FTDI_IMPORT_LIBRARY})
add_dependencies(ftd2xx_import ftd2xx_import_library)
