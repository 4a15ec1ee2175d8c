# Cross build for 64-bit Windows with Debian's MinGW-w64 GCC of the posix thread model (the win32
# model has no std::thread or std::mutex). VELMOR_QT_PREFIX names the Qt 5 built for this target
# (scripts/build-qt-windows.sh); its moc runs on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELMOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(VELMOR_MINGW_GXX ${VELMOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_C_COMPILER ${VELMOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMOR_MINGW_GXX})
set(CMAKE_RC_COMPILER ${VELMOR_MINGW_TRIPLET}-windres)

set(VELMOR_QT_PREFIX "$ENV{VELMOR_QT_PREFIX}" CACHE PATH "Qt 5 built for x86_64-w64-mingw32")
set(CMAKE_FIND_ROOT_PATH /usr/${VELMOR_MINGW_TRIPLET} ${VELMOR_QT_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(VELMOR_QT_PREFIX)
  set(Qt5_DIR ${VELMOR_QT_PREFIX}/lib/cmake/Qt5 CACHE PATH "")
endif()
