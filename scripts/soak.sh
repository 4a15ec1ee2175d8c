#!/usr/bin/env bash
# A soak of the library on the emulator (not part of CI): PROCESSES processes of THREADS threads
# each call the exports on the emulator's default bench for DURATION (seconds, or with an m or h
# suffix). Every minute each process prints its resident memory, its open descriptors, the D2XX
# handles open in it and the result codes of that minute; a summary follows at the end.
# The processes share one state file, as programs on one machine share units: each process has
# units of its own (the supported units dealt out in turn), so that none finds its unit busy.
#
# Usage: scripts/soak.sh THREADS PROCESSES DURATION
# The build folder is $VELMOR_BUILD_DIR (default build), with velmor_soak built in it;
# VELMOR_SOAK_INTERVAL sets the seconds between reports (default 60), VELMOR_SOAK_LOG a file that
# keeps every line. Exit status 1 when a call failed, a handle was left open, or a process's
# resident memory grew by more than 1 MB over the second half of the run (the first half fills the
# emulator's bounded logs: about ten minutes at a few calls a second).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 3 ]; then
  echo "usage: scripts/soak.sh THREADS PROCESSES DURATION (e.g. 4 2 30m)" >&2
  exit 64
fi
threads=$1 processes=$2 duration=$3
case "$duration" in
  *h) seconds=$(( ${duration%h} * 3600 )) ;;
  *m) seconds=$(( ${duration%m} * 60 )) ;;
  *s) seconds=${duration%s} ;;
  *) seconds=$duration ;;
esac
for number in "$threads" "$processes" "$seconds"; do
  [[ "$number" =~ ^[1-9][0-9]*$ ]] || { echo "soak.sh: '$number' is not a positive whole number" >&2; exit 64; }
done
interval=${VELMOR_SOAK_INTERVAL:-60}
dir=${VELMOR_BUILD_DIR:-build}
program="$(cd "$dir" && pwd)/bin/velmor_soak"
[ -x "$program" ] || { echo "soak.sh: $program is missing: ninja -C $dir velmor_soak" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELMOR_EMULATOR_STATE="$work/state"
unset VELMOR_EMULATOR_BENCH
log=${VELMOR_SOAK_LOG:-$work/soak.log}
: >"$log"

# The supported units of the default bench, counted by the library itself.
units=$(cd "$work" && "$program" --count)
if (( processes > units )); then
  echo "soak.sh: $processes processes share $units units: some calls will find their unit busy (code 3)" >&2
fi
echo "soak: $processes processes x $threads threads for ${seconds}s on $units units, a report every ${interval}s"
echo "$(uname -n), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'), load average$(uptime | sed 's/.*load average//')"

pids=()
for ((p = 0; p < processes; p++)); do
  mine=""
  for ((u = 1; u <= units; u++)); do
    if (( (u - 1) % processes == p % units )); then mine="$mine${mine:+,}$u"; fi
  done
  mine=${mine:-$(( p % units + 1 ))}
  (cd "$work" && "$program" --threads "$threads" --seconds "$seconds" --interval "$interval" --units "$mine" \
     | sed -u "s/^/process $((p + 1)) units $mine: /" | tee -a "$log") &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done

echo "summary"
python3 - "$log" <<'EOF' || status=1
import re, sys
per = {}
for line in open(sys.argv[1]):
    m = re.match(r"process (\d+) units \S+: (interval \d+|end) pid \d+ rss_kb (\d+) fds (\d+) d2xx_handles (\d+) calls (\d+) failed (\d+)", line)
    if m:
        per.setdefault(m.group(1), []).append((m.group(2), int(m.group(3)), int(m.group(4)), int(m.group(5)),
                                                int(m.group(6)), int(m.group(7))))
bad = False
for process, rows in sorted(per.items()):
    reports = [r for r in rows if r[0] != "end"]
    end = [r for r in rows if r[0] == "end"]
    calls = sum(r[4] for r in rows)
    failed = sum(r[5] for r in rows)
    middle = reports[(len(reports) - 1) // 2]
    growth = reports[-1][1] - middle[1]
    left = end[-1][3] if end else -1
    print(f"process {process}: {calls} calls, {failed} failed; resident {reports[0][1]} kB at report 1, "
          f"{middle[1]} kB at report {(len(reports) - 1) // 2 + 1}, {reports[-1][1]} kB at report {len(reports)} "
          f"({growth:+d} kB over the second half), highest {max(r[1] for r in reports)} kB; descriptors "
          f"{min(r[2] for r in reports)} to {max(r[2] for r in reports)}; D2XX handles left at the end {left}")
    bad = bad or failed > 0 or left != 0 or growth > 1024 or not end
sys.exit(1 if bad else 0)
EOF
exit $status
