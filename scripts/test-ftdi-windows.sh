#!/usr/bin/env bash
# The library's D2XX declarations and code against FTDI's own D2XX for 64-bit Windows: fetches
# FTDI's package (scripts/fetch-ftdi-d2xx.sh --windows), checks our declarations against FTDI's
# ftd2xx.h with MinGW's GCC, then builds with clang and LLD (which read FTDI's MSVC-built static
# library) the same check and a smoke program of the library's code, and runs both under Wine.
# VELMOR_FTDI_WINDOWS_BUILD_DIR picks the build folder (build-ftdi-windows).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
build_dir=${VELMOR_FTDI_WINDOWS_BUILD_DIR:-build-ftdi-windows}

bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 clang lld
source scripts/windows-env.sh
qt_prefix=$(bash scripts/build-qt-windows.sh)
d2xx_dir=$(bash scripts/fetch-ftdi-d2xx.sh --windows)
mkdir -p "$VELMOR_CACHE/boost-include"
ln -sfn /usr/include/boost "$VELMOR_CACHE/boost-include/boost"

# The compiler that builds VelmorLib.dll, on FTDI's header as an application of its DLL sees it.
x86_64-w64-mingw32-g++ -std=c++17 -Wall -Wextra -Werror -fsyntax-only \
  -isystem "$d2xx_dir" -I d2xx tests/d2xx/LayoutCheck.cpp
echo "PASS: d2xx/FtdiLibrary.h matches FTDI's Windows ftd2xx.h under MinGW GCC (x86_64)"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/MinGW-w64-clang.cmake" -DVELMOR_QT_PREFIX="$qt_prefix" \
  -DBoost_INCLUDE_DIR="$VELMOR_CACHE/boost-include" \
  -DVELMOR_D2XX_DIR="$d2xx_dir" -DVELMOR_D2XX_STATIC=ON >/dev/null
ninja -C "$build_dir" -j2 d2xx_LayoutCheck d2xx_StaticSmoke
cd "$build_dir"

# As in test-windows.sh: a Wine server of its own, started apart from CTest.
# The server does not start without the prefix's folder, which a fresh build folder lacks.
export WINEPREFIX=$PWD/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
unset WINEDEBUG

ctest -L d2xx --output-on-failure --timeout 120
grep '^PASS: ' Testing/Temporary/LastTest.log
