#!/usr/bin/env bash
# velmord.exe under Wine, on a pipe of its own, serving velmorctl.exe: velmord's emulated units
# (a bench of its own, which the clients' emulator does not have) listed and read through the
# pipe, each client's connection in velmord's log with its pid and image name; clients killed in
# the middle of a waited move (by Windows, by their pid as velmord logged it, and from outside
# Wine) leave velmord serving the next; a second velmord on the pipe is refused; VELMOR_BROKER
# naming no pipe, or off, takes the calls direct; Ctrl+C stops velmord and the calls go direct,
# the next of a running session among them.
# Usage: velmord.sh VELMORD_EXE VELMORCTL_EXE WINE WINEPATH_FILE WINEPREFIX
set -euo pipefail
velmord_exe=$1 velmorctl_exe=$2 wine=$3
WINEPATH=$(cat "$4")
export WINEPATH WINEPREFIX=${WINEPREFIX:-$5}
export WINEDEBUG=${WINEDEBUG:-err+module} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export VELMOR_EMULATOR_STATE=off

work=$(mktemp -d "${TMPDIR:-/tmp}/velmord-wine.XXXXXX")
pipe="\\\\.\\pipe\\velmord-wine-test-$$-$RANDOM"
# velmord's units, and the clients' own, which they see only when their calls go direct.
velmord_bench='FT232R:JXah001027001:3.0;FT232R:JXah001017002:2.0'
client_bench='FT232R:JXah001029999:3.0'
velmord_pid=''
started_pids=()
cleanup() {
  for pid in "${started_pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

log() { tr -d '\r' <"$work/velmord.log"; }
fail() { echo "FAIL: $*" >&2; echo "--- velmord's log:" >&2; log >&2; exit 1; }
# Waits (up to 60 s) until velmord's log has a line matching the pattern.
wait_for_log() {
  local pattern=$1
  for _ in $(seq 600); do
    if log | grep -Eq -- "$pattern"; then return 0; fi
    [[ -z "$velmord_pid" ]] || kill -0 "$velmord_pid" 2>/dev/null || fail "velmord ended while waiting for '$pattern'"
    sleep 0.1
  done
  fail "no '$pattern' in velmord's log"
}
# velmorctl.exe with its calls to the pipe (or where BROKER says); its output without \r.
ctl() {
  VELMOR_BROKER=${BROKER-$pipe} VELMOR_EMULATOR_BENCH=$client_bench "$wine" "$velmorctl_exe" "$@" \
    2>"$work/ctl.err" | tr -d '\r'
}
connections() { log | grep -c ' connected' || true; }

VELMOR_EMULATOR_BENCH=$velmord_bench "$wine" "$velmord_exe" --socket "$pipe" --verbose \
  >"$work/velmord.out" 2>"$work/velmord.log" &
velmord_pid=$!
started_pids+=("$velmord_pid")
wait_for_log "listening on .*velmord-wine-test"
wait_for_log "unit JXah001017002 held at index 2"
wait_for_log "unit JXah001027001 held at index 1"
echo "velmord listens on $pipe"

# The units velmord holds, through the pipe.
listing=$(ctl list) || fail "velmorctl list through velmord failed: $(cat "$work/ctl.err")"
echo "$listing"
grep -q "^2 supported units" <<<"$listing" || fail "velmord's two units not listed: $listing"
grep -q "JXah001027001" <<<"$listing" && grep -q "JXah001017002" <<<"$listing" || fail "velmord's units not listed: $listing"
! grep -q "JXah001029999" <<<"$listing" || fail "the client's own emulator answered: $listing"
status=$(ctl status JXah001017002) || fail "velmorctl status through velmord failed: $(cat "$work/ctl.err")"
echo "$status"
grep -q "^unit JXah001017002: JXah001017002 on FT232R" <<<"$status" || fail "no status of unit JXah001017002: $status"
grep -q "ready" <<<"$status" || fail "no readiness in the status: $status"
wait_for_log "client [0-9]+ \(uid [0-9]+, gid -1, pid [0-9]+, velmorctl.exe\) connected"
wait_for_log "client [0-9]+ \(uid [0-9]+, gid -1, pid [0-9]+, velmorctl.exe\) disconnected"
log | grep -Eq "client [0-9]+ .*: velmorGetMotorStatus -> 0" || fail "the status was not read through velmord"

# A second velmord on the same pipe is refused, and so is a name that is no pipe's; the first
# velmord serves on.
for refused in "$pipe|already listens on" 'velmord\inner|not a pipe name' '\\server\pipe\velmord|not a pipe name'; do
  name=${refused%%|*} why=${refused#*|}
  set +e
  VELMOR_EMULATOR_BENCH=$velmord_bench "$wine" "$velmord_exe" --socket "$name" >/dev/null 2>"$work/refused.log"
  refused_status=$?
  set -e
  [[ $refused_status -eq 69 ]] || fail "velmord --socket '$name' exited with $refused_status: $(tr -d '\r' <"$work/refused.log")"
  grep -q "$why" "$work/refused.log" || fail "velmord --socket '$name' did not say '$why': $(tr -d '\r' <"$work/refused.log")"
done
echo "a second velmord on the pipe, and names that are no pipe's, are refused"

# Clients killed in the middle of a waited move: by Windows (taskkill /f, by the pid velmord
# logged, which is the client's own only when velmord read it right), and from outside Wine
# (SIGKILL to the process). The next client is served, on the same unit.
for how in taskkill sigkill; do
  before=$(connections)
  VELMOR_BROKER=$pipe VELMOR_EMULATOR_BENCH=$client_bench \
    "$wine" "$velmorctl_exe" on 1 move-by 1 1000000 --wait >"$work/mover.out" 2>&1 &
  mover=$!
  started_pids+=("$mover")
  number=$((before + 1))
  wait_for_log "client $number \(.*velmorctl.exe\) connected"
  client_pid=$(log | sed -nE "s/.*client $number \(uid [0-9]+, gid -1, pid ([0-9]+), velmorctl.exe\) connected.*/\1/p")
  [[ -n "$client_pid" ]] || fail "no pid of client $number in the log"
  # The move is under way: the client polls whether the unit is ready.
  wait_for_log "pid $client_pid, velmorctl.exe\): isMotorReady -> 0"
  if [[ $how == taskkill ]]; then
    "$wine" taskkill /f /pid "$client_pid" >/dev/null 2>&1 || fail "taskkill /f /pid $client_pid failed"
  else
    kill -KILL "$mover"
  fi
  wait "$mover" 2>/dev/null || true
  wait_for_log "pid $client_pid, velmorctl.exe\) disconnected"
  echo "client $number (pid $client_pid) killed mid-move ($how): velmord closed its connection"
  next=$(ctl stop 1 status 1 position 1) || fail "the client after the killed one failed: $(cat "$work/ctl.err")"
  grep -q "^unit 1: JXah001027001" <<<"$next" || fail "no status after the killed client: $next"
  grep -q "^position of unit 1: " <<<"$next" || fail "no position after the killed client: $next"
  echo "$next" | grep "^position"
done
# A client killed during its call is one that went away, not one that broke the rules.
! log | grep -q "does not fit any call" || fail "a killed client was logged as sending a bad message"

# VELMOR_BROKER naming a pipe nothing listens on, or off: the calls go direct, to the client's
# own emulated unit.
for broker in "\\\\.\\pipe\\velmord-wine-test-nobody-$$" off; do
  direct=$(BROKER=$broker ctl list) || fail "velmorctl list with VELMOR_BROKER=$broker failed: $(cat "$work/ctl.err")"
  grep -q "JXah001029999" <<<"$direct" && ! grep -q "JXah001027001" <<<"$direct" \
    || fail "with VELMOR_BROKER=$broker the calls did not go direct: $direct"
done
echo "VELMOR_BROKER naming no pipe, or off: the calls go direct"

# Ctrl+C (Wine turns SIGINT into the console's Ctrl+C event): velmord stops, and the pipe with it.
# A shell session that listed the units through velmord lists its own units directly next, in
# the same process; a program started afterwards goes direct too.
mkfifo "$work/shell.in"
VELMOR_BROKER=$pipe VELMOR_EMULATOR_BENCH=$client_bench "$wine" "$velmorctl_exe" shell \
  <"$work/shell.in" >"$work/shell.out" 2>&1 &
shell=$!
started_pids+=("$shell")
exec 3>"$work/shell.in"
before=$(connections)
echo list >&3
wait_for_log "client $((before + 1)) .*: getDeviceCount -> 0"
kill -INT "$velmord_pid"
set +e
wait "$velmord_pid"
velmord_status=$?
set -e
velmord_pid=''
[[ $velmord_status -eq 0 ]] || fail "velmord exited with $velmord_status after Ctrl+C"
log | grep -q "stopping" || fail "velmord did not log its stop"
echo list >&3
exec 3>&-
wait "$shell" || fail "the shell session failed: $(tr -d '\r' <"$work/shell.out")"
session=$(tr -d '\r' <"$work/shell.out")
echo "$session"
[[ $(grep -c "supported unit" <<<"$session") -eq 2 ]] || fail "the shell did not list twice: $session"
grep -q "JXah001027001" <<<"$session" && grep -q "JXah001029999" <<<"$session" \
  || fail "the shell did not list velmord's units, then its own: $session"
after=$(ctl list) || fail "velmorctl list after velmord stopped failed: $(cat "$work/ctl.err")"
grep -q "JXah001029999" <<<"$after" || fail "after velmord stopped the calls did not go direct: $after"
echo "Ctrl+C stopped velmord; the calls go direct again, in a running session and in a new program"
echo "--- velmord's log:"
log | grep -v -- '->' || true
