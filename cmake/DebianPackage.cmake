# Debian packages of the install components (cpack -G DEB; scripts/package-deb.sh drives it):
#   libvelmorlib0      Library      libVelmorLib.so.0
#   libvelmorlib-dev   Development  headers, libVelmorLib.so, pkg-config file, CMake package
#   velmorctl          Velmorctl    velmorctl, its man page, the udev rule
#   python3-velmorlib  Python       the Python module
#   velmor-center      Center       the Control Center
#   velmord            Velmord      velmord, its man page, its systemd units
# A component that installs nothing in this build (the Control Center without Qt Widgets, say)
# gives no package. Included last, once every install rule is known. Configure with
# CMAKE_INSTALL_PREFIX=/usr and VELMOR_INSTALL_RPATH=OFF.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  message(FATAL_ERROR "Debian packages are built on Linux")
endif()
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "Debian packages install under /usr: configure with -DCMAKE_INSTALL_PREFIX=/usr")
endif()
if(VELMOR_INSTALL_RPATH)
  message(FATAL_ERROR "Debian packages carry no rpath: configure with -DVELMOR_INSTALL_RPATH=OFF")
endif()

set(VELMOR_DEBIAN_MAINTAINER "VelmorLib authors <velmorlib@example.org>")
set(VELMOR_DEBIAN_REVISION 1)
set(VELMOR_DEBIAN_VERSION "${PROJECT_VERSION}-${VELMOR_DEBIAN_REVISION}")

# Package descriptions: lines of at most 80 characters, as written here.
set(VELMOR_DEBIAN_ABOUT
  "VelmorLib controls stepper-motor driver units attached over USB. Each unit
sits behind an FTDI chip reached through FTDI's D2XX library, which is not
part of Debian: install it from FTDI.")
set(VELMOR_DEBIAN_ABOUT_Library "This package holds the shared library.")
set(VELMOR_DEBIAN_ABOUT_Development
  "This package holds the C headers, the pkg-config file (velmorlib) and the
CMake package (find_package(VelmorLib)).")
set(VELMOR_DEBIAN_ABOUT_Velmorctl
  "This package holds velmorctl, which lists the units and drives them from the
command line, and the udev rule that gives the plugdev group access to the
units and keeps the kernel's serial driver off them.")
set(VELMOR_DEBIAN_ABOUT_Python "This package holds the Python 3 module velmorlib.")
set(VELMOR_DEBIAN_ABOUT_Center "This package holds the Velmor Control Center.")
set(VELMOR_DEBIAN_ABOUT_Velmord
  "This package holds velmord, which owns the attached units and serves the
library calls of every program on the machine over a local socket, so that
programs share the units instead of locking each other out, and its systemd
units: velmord.socket starts the system instance for the members of plugdev
(systemctl enable --now velmord.socket), the user units a user's own.")

# The Debian changelog, and the copyright file, which must keep the terms of LICENSE.
set(VELMOR_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
if(EXISTS ${PROJECT_SOURCE_DIR}/LICENSE)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE _velmor_license)
  file(READ ${VELMOR_DEBIAN_DIR}/copyright _velmor_copyright)
  string(REGEX MATCH "Permission is hereby granted.*SOFTWARE\\." _velmor_license "${_velmor_license}")
  string(REGEX MATCH "Permission is hereby granted.*SOFTWARE\\." _velmor_copyright "${_velmor_copyright}")
  string(REGEX REPLACE "[ \n.]+" " " _velmor_license "${_velmor_license}")
  string(REGEX REPLACE "[ \n.]+" " " _velmor_copyright "${_velmor_copyright}")
  if(NOT _velmor_license STREQUAL _velmor_copyright)
    message(FATAL_ERROR "packaging/debian/copyright does not carry the terms of LICENSE")
  endif()
endif()
string(TIMESTAMP VELMOR_DEBIAN_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${VELMOR_DEBIAN_DIR}/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
set(VELMOR_DEBIAN_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_command(OUTPUT ${VELMOR_DEBIAN_CHANGELOG_GZ}
  COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/debian/changelog > ${VELMOR_DEBIAN_CHANGELOG_GZ}
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
  VERBATIM)
set(VELMOR_DEBIAN_DOCS ${VELMOR_DEBIAN_DIR}/copyright ${VELMOR_DEBIAN_CHANGELOG_GZ})
if(EXISTS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  set(VELMOR_UPSTREAM_CHANGELOG_GZ ${PROJECT_BINARY_DIR}/debian/changelog.gz)
  add_custom_command(OUTPUT ${VELMOR_UPSTREAM_CHANGELOG_GZ}
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/CHANGELOG.md > ${VELMOR_UPSTREAM_CHANGELOG_GZ}
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md
    VERBATIM)
  list(APPEND VELMOR_DEBIAN_DOCS ${VELMOR_UPSTREAM_CHANGELOG_GZ})
endif()
add_custom_target(velmor_debian_docs ALL DEPENDS ${VELMOR_DEBIAN_DOCS})

# velmor_debian_package(COMPONENT PACKAGE SECTION SYNOPSIS [COMPONENTS ...] [PACKAGES ...]): the
# package of an install component, depending on the packages of COMPONENTS at this very version
# and on other PACKAGES beyond those dpkg-shlibdeps finds.
get_cmake_property(VELMOR_INSTALLED_COMPONENTS COMPONENTS)
set(CPACK_COMPONENTS_ALL "")
function(velmor_debian_package component package section synopsis)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "" "COMPONENTS;PACKAGES")
  if(NOT component IN_LIST VELMOR_INSTALLED_COMPONENTS)
    message(STATUS "Debian packages: no ${package}, this build installs nothing of ${component}")
    return()
  endif()
  string(TOUPPER ${component} upper)
  set(CPACK_COMPONENTS_ALL ${CPACK_COMPONENTS_ALL} ${component} PARENT_SCOPE)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_COMPONENT_${upper}_DESCRIPTION
    "${synopsis}\n${VELMOR_DEBIAN_ABOUT}\n\n${VELMOR_DEBIAN_ABOUT_${component}}" PARENT_SCOPE)
  set(CPACK_COMPONENT_${upper}_DEPENDS ${arg_COMPONENTS} PARENT_SCOPE)
  if(arg_PACKAGES)
    string(REPLACE ";" ", " depends "${arg_PACKAGES}")
    set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${depends}" PARENT_SCOPE)
  endif()
  install(FILES ${VELMOR_DEBIAN_DOCS}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component})
endfunction()

velmor_debian_package(Library libvelmorlib0 libs
  "control of stepper-motor driver units over USB - library")
velmor_debian_package(Development libvelmorlib-dev libdevel
  "control of stepper-motor driver units over USB - development files"
  COMPONENTS Library)
velmor_debian_package(Velmorctl velmorctl electronics
  "command-line control of stepper-motor driver units"
  COMPONENTS Library)
velmor_debian_package(Python python3-velmorlib python
  "control of stepper-motor driver units over USB - Python 3 module"
  COMPONENTS Library PACKAGES python3)
velmor_debian_package(Center velmor-center electronics
  "desktop application for stepper-motor driver units"
  COMPONENTS Library)
velmor_debian_package(Velmord velmord electronics
  "daemon sharing stepper-motor driver units between programs"
  COMPONENTS Library)
# velmorctl brings the udev rule that keeps the kernel's serial driver off the units, and
# shows what velmord serves (velmorctl doctor).
set(CPACK_DEBIAN_VELMORD_PACKAGE_RECOMMENDS velmorctl)
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmorlib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELMOR_DEBIAN_MAINTAINER}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMOR_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMOR_DEBIAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE velmorlib)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps finds the system libraries' packages (libqt5core5a, libstdc++6, ...). It must
# see every library a binary needs: libVelmorLib.so.0 of this build (libvelmorlib0 comes in
# through the components above) and the D2XX library linked at build time, which Debian does
# not carry and so is named by no Depends (CPack passes --ignore-missing-info).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
if(VELMOR_ON_EMULATOR)
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
else()
  list(APPEND CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${VELMOR_D2XX_DIR})
endif()
# The shlibs file and the ldconfig trigger of libvelmorlib0 (CPack's own maintainer scripts call
# ldconfig as well).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
configure_file(${VELMOR_DEBIAN_DIR}/libvelmorlib0.triggers ${PROJECT_BINARY_DIR}/debian/libvelmorlib0/triggers COPYONLY)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/libvelmorlib0/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Python module is byte-compiled on installation and its compiled files removed with it.
foreach(_script postinst prerm)
  configure_file(${VELMOR_DEBIAN_DIR}/python3-velmorlib.${_script} ${PROJECT_BINARY_DIR}/debian/python3-velmorlib/${_script} COPYONLY)
  list(APPEND CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/python3-velmorlib/${_script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Manual pages are shipped compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianCompressManPages.cmake)
include(CPack)
