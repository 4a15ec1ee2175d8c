#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's archive (run as root), and any
# further packages named as arguments.
set -euo pipefail
# libclang-rt-14-dev: the libFuzzer and sanitizer runtimes of clang 14 (scripts/fuzz.sh);
# libusbredirparser-dev: the emulated units presented at the USB level (emulator/usb).
packages=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config qtbase5-dev libboost-dev libgtest-dev libgmock-dev libbenchmark-dev python3-pytest libusbredirparser-dev)
# The Python module installed by pip into a fresh environment, offline, with Debian's build
# backend; its hints checked by mypy; the manual page checked by groff (tests/docs).
packages+=(python3-venv python3-pip python3-setuptools python3-wheel python3-mypy groff-base)
# The desktop application's start on an X server (tests/center).
packages+=(xvfb xauth)
# The Tango device server and its tests (tango/).
packages+=(python3-tango)
# MinGW cross compilers check VelmorLib.h's Windows exports (tests/windows).
packages+=(gcc-mingw-w64-x86-64 gcc-mingw-w64-i686)
# npm fetches FTDI's D2XX for the check against it; a machine may already have its own Node.js.
command -v npm >/dev/null 2>&1 || packages+=(npm)
packages+=("$@")
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
