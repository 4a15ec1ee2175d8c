# Installed binaries look for the libraries beside VelmorLib, in the installed library folder,
# and nowhere else of ours: libftd2xx.so then comes from wherever the system loader finds it
# (FTDI's). The build tree keeps its build rpath, so programs there load the emulator.
# Distribution packages install into the system's library folder, where the loader looks anyway,
# and must carry no rpath at all: they turn this off.
option(VELMOR_INSTALL_RPATH "installed binaries find VelmorLib beside them through an \$ORIGIN rpath" ON)
if(APPLE)
  set(VELMOR_RPATH_ORIGIN "@loader_path")
else()
  set(VELMOR_RPATH_ORIGIN "$ORIGIN")
endif()

# velmor_set_install_rpath(TARGET DIR): DIR names the GNUInstallDirs folder the target is
# installed to, BINDIR or LIBDIR.
function(velmor_set_install_rpath target dir)
  if(NOT UNIX OR NOT VELMOR_INSTALL_RPATH)
    return()
  endif()
  file(RELATIVE_PATH to_libdir "${CMAKE_INSTALL_FULL_${dir}}" "${CMAKE_INSTALL_FULL_LIBDIR}")
  if(to_libdir STREQUAL "")
    set(rpath "${VELMOR_RPATH_ORIGIN}")
  else()
    set(rpath "${VELMOR_RPATH_ORIGIN}/${to_libdir}")
  endif()
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${rpath}")
endfunction()
