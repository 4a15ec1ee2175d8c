# The Python module (python/velmorlib). Its version is the project's: pip builds it from the
# source tree without CMake, so python/velmorlib/_version.py holds the version itself and the
# configure step refuses a tree where the two differ.
set(VELMOR_PYTHON_VERSION_FILE ${PROJECT_SOURCE_DIR}/python/velmorlib/_version.py)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VELMOR_PYTHON_VERSION_FILE})
file(STRINGS ${VELMOR_PYTHON_VERSION_FILE} _velmor_python_version REGEX "^__version__ = ")
string(REGEX REPLACE "^__version__ = \"([^\"]*)\".*$" "\\1" _velmor_python_version "${_velmor_python_version}")
if(NOT _velmor_python_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "python/velmorlib/_version.py gives version '${_velmor_python_version}', the project "
                      "version is ${PROJECT_VERSION}: write __version__ = \"${PROJECT_VERSION}\" there")
endif()

# cmake --install puts the module where Debian's Python 3 finds modules for every Python 3
# version: PREFIX/lib/python3/dist-packages, which is /usr/lib/python3/dist-packages for the
# package python3-velmorlib. Under another prefix, add that folder to PYTHONPATH, or configure
# the folder Python's own sysconfig names (an absolute path is taken as it is).
set(VELMOR_PYTHON_INSTALL_DIR "lib/python3/dist-packages" CACHE STRING
  "where cmake --install puts the Python module velmorlib: relative to the prefix, or absolute")
if(NOT WIN32)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/velmorlib
    DESTINATION ${VELMOR_PYTHON_INSTALL_DIR}
    COMPONENT Python
    FILES_MATCHING PATTERN "*.py" PATTERN "py.typed"
    PATTERN "__pycache__" EXCLUDE)
  # The distribution's metadata, as pip would install it: importlib.metadata and pip see the
  # module and its version.
  configure_file(${CMAKE_CURRENT_LIST_DIR}/velmorlib-METADATA.in ${PROJECT_BINARY_DIR}/python/METADATA @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/python/METADATA
    DESTINATION ${VELMOR_PYTHON_INSTALL_DIR}/velmorlib-${PROJECT_VERSION}.dist-info
    COMPONENT Python)
endif()
