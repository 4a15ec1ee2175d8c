# What consumers find VelmorLib with: a CMake package (find_package(VelmorLib) gives
# VelmorLib::VelmorLib) and a pkg-config file (velmorlib). The emulator and the tests are never
# installed.
include(CMakePackageConfigHelpers)

set(VELMOR_CMAKE_PACKAGE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/VelmorLib")

install(EXPORT VelmorLibTargets
  NAMESPACE VelmorLib::
  FILE VelmorLibTargets.cmake
  DESTINATION ${VELMOR_CMAKE_PACKAGE_DIR}
  COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VelmorLibConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelmorLibConfig.cmake
  INSTALL_DESTINATION ${VELMOR_CMAKE_PACKAGE_DIR})
# The soname carries the major version, so a different major is a different library.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelmorLibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelmorLibConfig.cmake ${PROJECT_BINARY_DIR}/VelmorLibConfigVersion.cmake
  DESTINATION ${VELMOR_CMAKE_PACKAGE_DIR}
  COMPONENT Development)

# The .pc file finds its prefix from its own folder, so the tree can be installed anywhere
# (cmake --install --prefix) or moved.
set(VELMOR_PKGCONFIG_DIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
file(RELATIVE_PATH VELMOR_PKGCONFIG_TO_PREFIX "/prefix/${VELMOR_PKGCONFIG_DIR}" "/prefix")
string(REGEX REPLACE "/$" "" VELMOR_PKGCONFIG_TO_PREFIX "${VELMOR_PKGCONFIG_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(VELMOR_PKGCONFIG_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(VELMOR_PKGCONFIG_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/velmorlib.pc.in ${PROJECT_BINARY_DIR}/velmorlib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velmorlib.pc
  DESTINATION ${VELMOR_PKGCONFIG_DIR}
  COMPONENT Development)
