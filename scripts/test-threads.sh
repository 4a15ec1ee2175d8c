#!/usr/bin/env bash
# Builds the threaded tests under ThreadSanitizer and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VELMOR_TSAN_BUILD_DIR:-build-tsan}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DVELMOR_SANITIZE=thread" >/dev/null
targets=(unit_PacketProtocol_test unit_Driver_test unit_FairMutex_test unit_UnitTurns_test)
# The whole list first: grep -q would end the pipe early, and pipefail would count ninja's
# broken pipe as no match.
all_targets=$(ninja -C "$dir" -t targets all 2>/dev/null)
for extra in e2e_Concurrency_test e2e_HeldUnitsInParallel_test; do
  grep -q "^$extra:" <<<"$all_targets" && targets+=("$extra")
done
ninja -C "$dir" -j"$(nproc)" "${targets[@]}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
cd "$dir"
ctest -j"$(nproc)" --output-on-failure -R '^(unit\.(PacketProtocol|QueuedProtocol|Driver|Outcomes|FairMutex|UnitTurns)|e2e\.(Concurrency|HeldUnitsInParallel))'
