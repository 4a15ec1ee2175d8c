#!/usr/bin/env bash
# VelmorLib on FTDI's own D2XX over a real Linux USB stack: installs QEMU, a Debian kernel,
# busybox-static and libusbredirparser (run as root), builds VelmorLib against FTDI's D2XX
# (fetched by fetch-ftdi-d2xx.sh) in its own build folder, and runs the guest tests: a virtual
# machine boots with emulated FT232R units attached over usbredir and runs a session of exports.
# Usage: scripts/test-guest.sh [extra cmake arguments]; VELMOR_GUEST_BUILD_DIR picks the build folder.
set -euo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${VELMOR_GUEST_BUILD_DIR:-$source_dir/build-guest}"

bash "$source_dir/scripts/install-deps.sh" qemu-system-x86 linux-image-amd64 busybox-static libusbredirparser-dev cpio

d2xx_dir="$("$source_dir/scripts/fetch-ftdi-d2xx.sh")"
cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_D2XX_DIR="$d2xx_dir" -DVELMOR_GUEST_TESTS=ON "$@" >/dev/null
ninja -j2 -C "$build_dir"
(cd "$build_dir" && ctest -L guest --output-on-failure)
