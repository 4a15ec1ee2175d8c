#!/usr/bin/env bash
# Sets up, builds and runs velmorctl on the emulated bench.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
./build/bin/velmorctl list
