#!/usr/bin/env bash
# Builds in Release (folder build-release, or VELMOR_BENCH_BUILD_DIR) and runs the benchmarks on
# the emulator, then prints one table: every export against its floor, warm and on a held unit,
# listing cost, buffered channel throughput, execute round trips, status polls on held units and
# the longest wait for the library's lock with 16 threads calling at once.
# VELMOR_BENCH_REPETITIONS sets the samples per call (default 15); the raw results stay in the
# build folder as bench-*.json.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VELMOR_BENCH_BUILD_DIR:-build-release}
repetitions=${VELMOR_BENCH_REPETITIONS:-15}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMOR_BUILD_TESTS=OFF "$@" >/dev/null
ninja -C "$dir" velmor_bench_exports velmor_bench_channels >/dev/null
run() {
  local program=$1 out=$2
  shift 2
  "$dir/bin/$program" --benchmark_out="$dir/$out" --benchmark_out_format=json \
    --benchmark_report_aggregates_only=true "$@" >/dev/null
}
# The library's working folder stays out of the source tree.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dir=$(cd "$dir" && pwd)
(cd "$work" && run velmor_bench_exports bench-exports.json --benchmark_repetitions="$repetitions")
(cd "$work" && run velmor_bench_channels bench-channels.json --benchmark_repetitions=3)
python3 bench/table.py "$dir/bench-exports.json" "$dir/bench-channels.json"
echo
echo "$(uname -n), $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average$(uptime | sed 's/.*load average//')"
