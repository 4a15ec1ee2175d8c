# The DLL's exported names, made from the public headers' declarations (VELMOR_API ... VELMOR_CALL
# name): a function declared there is exported under its plain name with nothing else to edit.
# VELMOR_EXPORTS_DEF is the .def file, for the linker, the MSVC import library and the check of
# the DLL's export table.
set(_velmor_export_headers ${PROJECT_SOURCE_DIR}/include/VelmorLib.h ${PROJECT_SOURCE_DIR}/include/VelmorLibExtras.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_velmor_export_headers})
set(_velmor_def "; The DLL's exported names: plain, without the __stdcall decoration.\nLIBRARY VelmorLib\nEXPORTS\n")
foreach(header ${_velmor_export_headers})
  file(READ ${header} _velmor_header_text)
  string(REGEX MATCHALL "VELMOR_API[ \t\r\n]+[^;(]*VELMOR_CALL[ \t\r\n]+[A-Za-z0-9_]+[ \t\r\n]*\\(" _velmor_declarations
         "${_velmor_header_text}")
  foreach(declaration ${_velmor_declarations})
    string(REGEX REPLACE "^.*VELMOR_CALL[ \t\r\n]+([A-Za-z0-9_]+).*$" "\\1" name "${declaration}")
    string(APPEND _velmor_def "    ${name}\n")
  endforeach()
endforeach()
set(VELMOR_EXPORTS_DEF ${PROJECT_BINARY_DIR}/VelmorLib.def)
file(CONFIGURE OUTPUT ${VELMOR_EXPORTS_DEF} CONTENT "${_velmor_def}")
