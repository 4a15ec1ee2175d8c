#!/usr/bin/env bash
# The Windows build, tested under Wine: installs what it needs, builds Qt 5 Core for
# x86_64-w64-mingw32 (once; cached outside the tree), cross-builds VelmorLib.dll, the emulator as
# ftd2xx.dll, velmorctl.exe and the tests, and runs them under Wine with CTest; then FTDI's own
# Windows D2XX smoke program. VELMOR_WINDOWS_BUILD_DIR picks the build folder (build-windows).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
build_dir=${VELMOR_WINDOWS_BUILD_DIR:-build-windows}

# g++-mingw-w64-x86-64-posix: the posix thread model; wine64: runs the tests; llvm: the MSVC
# import library; clang and lld: linking FTDI's MSVC-built static library.
bash scripts/install-deps.sh g++-mingw-w64-x86-64-posix wine64 llvm clang lld unzip
source scripts/windows-env.sh
qt_prefix=$(bash scripts/build-qt-windows.sh)

# Boost is header-only here; the build machine's headers serve the target, without the rest of
# /usr/include.
mkdir -p "$VELMOR_CACHE/boost-include"
ln -sfn /usr/include/boost "$VELMOR_CACHE/boost-include/boost"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/MinGW-w64.cmake" -DVELMOR_QT_PREFIX="$qt_prefix" \
  -DBoost_INCLUDE_DIR="$VELMOR_CACHE/boost-include" >/dev/null
ninja -C "$build_dir" -j"$(nproc)"

# One Wine server for the whole run, started apart from CTest: Wine's background services would
# otherwise keep a test's output pipe open and CTest would wait on it.
# The server does not start without the prefix's folder, which a fresh build folder lacks.
export WINEPREFIX=$(cd "$build_dir" && pwd)/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
# Qt writes its messages (a failed assertion among them) to the debugger when a program has no
# console; the tests read them on standard error. Wine passes no QT_ variable of the host on, so
# the prefix's own environment sets it.
/usr/lib/wine/wine64 reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /t REG_SZ /d 1 /f >/dev/null 2>&1
unset WINEDEBUG

cd "$build_dir"
# As on Linux, most tests wait on the units' real time-outs.
ctest -j"$(( $(nproc) * 3 ))" --output-on-failure --timeout 300
cd "$source_dir"
wineserver -k >/dev/null 2>&1 || true
bash scripts/test-ftdi-windows.sh
