#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build-fuzz and runs each for a bounded
# time, starting from its seed corpus and its saved crash inputs; fails on the first finding.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]; SECONDS defaults to $VELMOR_FUZZ_SECONDS or 30.
#
# By default each run starts from a fresh random seed and from the inputs earlier runs on this
# machine kept in build-fuzz/fuzz/work: exploration, which may find something new each time.
# VELMOR_FUZZ_SEED=N with VELMOR_FUZZ_RUNS=N makes a gate instead: a fixed seed, a fixed number
# of inputs per target and no inputs kept from earlier runs, so that one commit passes or fails
# the same way on every machine, however fast.
# VELMOR_FUZZ_REPORT_ONLY=1 prints each finding and goes on to the next target, exiting with 0.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${VELMOR_FUZZ_SECONDS:-30}}
shift || true
seed=${VELMOR_FUZZ_SEED:-}
runs=${VELMOR_FUZZ_RUNS:-}
report_only=${VELMOR_FUZZ_REPORT_ONLY:-0}
dir=${VELMOR_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVELMOR_FUZZ=ON -DVELMOR_BUILD_TESTS=OFF >/dev/null
ninja -C "$dir" -j"$(nproc)" fuzz_targets
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(PacketEngine DeviceInformation SerialIdentity Records VelmorctlCommandLine VelmorctlShell EmulatorBenchText
  EmulatorStateFile BrokerMessage)
# An allocation beyond 1 GiB fails (Qt then throws std::bad_alloc) as on a machine without the
# memory, rather than counting as a crash.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1:max_allocation_size_mb=1024}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
bound=(-max_total_time="$seconds")
[ -z "$seed" ] || bound+=(-seed="$seed")
# A gate counts inputs, not seconds: a slower machine then runs the same inputs, only longer.
[ -z "$runs" ] || bound=(-seed="${seed:-1}" -runs="$runs")
found=0
for target in "${targets[@]}"; do
  # New inputs go to a scratch folder: the seed corpus in the tree stays as it is.
  work="$dir/fuzz/work/$target"
  findings="$dir/fuzz/findings/$target"
  [ -z "$runs" ] || rm -rf "$work"
  mkdir -p "$work" "$findings"
  inputs=("$work" "fuzz/corpus/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  log="$dir/fuzz/$target.log"
  if [ -n "$runs" ]; then
    echo "fuzzing $target for $runs inputs from seed ${seed:-1}"
  else
    echo "fuzzing $target for ${seconds}s${seed:+ from seed $seed}"
  fi
  started="$dir/fuzz/$target.started"
  touch "$started"
  status=0
  "$dir/fuzz/fuzz_$target" "${bound[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "${inputs[@]}" >"$log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "fuzz_$target found a fault (exit $status); the input is in $findings, the log in $log" >&2
    # The input itself, for a run whose folders are gone once it ends (CI).
    find "$findings" -type f -newer "$started" | while read -r input; do
      echo "--- $input, base64:" >&2
      base64 "$input" >&2
    done
    [ "$report_only" = 1 ] || exit 1
    found=1
  fi
done
[ "$found" = 0 ] || echo "fuzzing found faults (reported, not failing this run): see above" >&2
