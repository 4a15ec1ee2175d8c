#!/usr/bin/env bash
# Sets up, builds and runs a scripted velmorctl session on the emulated bench.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null

# The demo's units keep their state between the runs below, in a file of their own, so every
# demo starts from freshly powered units.
state_dir=$(mktemp -d)
trap 'rm -rf "$state_dir"' EXIT
export VELMOR_EMULATOR_STATE="$state_dir/units"
velmorctl=./build/bin/velmorctl

step() {
  printf '\n$ velmorctl %s\n' "$*"
  set +e
  "$velmorctl" "$@"
  local status=$?
  set -e
  printf '(exit status %d)\n' "$status"
}

step list
step on 2 speed 2 800 2 accel 2 1600 move-to 2 400 --wait position 2
step move-by JXah00102 -150 --wait
step --json position 2 ready 2
step current 2 1200 1 backlash 2 1 0 5 home-settings 2 0 1 0 100 200 limits 2 1 3 2 6
step pwm 2 40 relay 2 on
step relay 3 on
step position JXah09999
step move-to 2 not-a-number
printf '\n$ velmorctl shell  (commands from standard input)\n'
printf 'position 1\nmove-by 1 25 --wait\nposition 1\n' | "$velmorctl" shell
