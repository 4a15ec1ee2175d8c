#!/usr/bin/env bash
# Builds VelmorLib against FTDI's own D2XX (fetched by fetch-ftdi-d2xx.sh) in its own build folder
# and runs the tests that need it: the layout check of our D2XX declarations (at compile time)
# and the smoke test of the exports on a machine with no units.
# Usage: scripts/ci-d2xx.sh [extra cmake arguments]; VELMOR_D2XX_BUILD_DIR picks the build folder.
set -euo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${VELMOR_D2XX_BUILD_DIR:-$source_dir/build-d2xx}"

d2xx_dir="$("$source_dir/scripts/fetch-ftdi-d2xx.sh")"

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMOR_D2XX_DIR="$d2xx_dir" "$@"
ninja -j2 -C "$build_dir"
(cd "$build_dir" && ctest -j2 --output-on-failure)
