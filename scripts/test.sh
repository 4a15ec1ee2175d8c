#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite on the emulator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
# Most tests spend their time in the units' real waits and time-outs, not on the processors.
ctest -j"$(( $(nproc) * 3 ))" --output-on-failure --timeout 300
