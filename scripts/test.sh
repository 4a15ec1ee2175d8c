#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite on the emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
ctest -j"$(nproc)" --output-on-failure --timeout 300
