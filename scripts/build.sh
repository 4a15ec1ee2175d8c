#!/usr/bin/env bash
# Configures and builds in a folder (default: build), passing any further arguments to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VELMOR_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir" -j"$(nproc)"
