#!/usr/bin/env bash
# Boots a virtual machine with one emulated FT232R unit per serial, each a velmor-usb-peer behind
# QEMU's usb-redir, has the kernel's ftdi_sio claim them, checks that velmorctl doctor reports
# that and, once the udev rule's unbind is applied, finds nothing wrong, runs the guest session on
# FTDI's D2XX, and checks what the session printed against the state each unit ends in.
# Usage: run-guest-session.sh PEER SESSION_PROGRAM VELMORCTL D2XX_LIBRARY UDEV_RULE KERNEL SERIAL...
set -euo pipefail

peer="$1"
session="$2"
velmorctl="$3"
d2xx="$4"
rule="$5"
kernel="$6"
shift 6
serials=("$@")
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
kernel_version="$(basename "$kernel")"
kernel_version="${kernel_version#vmlinuz-}"

work="$(mktemp -d "${TMPDIR:-/tmp}/velmor-guest.XXXXXX")"
peer_pids=()
cleanup() {
    for pid in "${peer_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [[ -n "${VELMOR_GUEST_KEEP:-}" ]] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

"$here/make-guest-image.sh" "$work/initramfs.gz" "$session" "$velmorctl" "$d2xx" "$rule" "$kernel_version"

qemu_units=()
for k in "${!serials[@]}"; do
    "$peer" --socket "$work/unit$k.sock" --serial "${serials[$k]}" ${VELMOR_GUEST_TRACE:+--trace} > "$work/unit$k.state" 2> "$work/unit$k.log" &
    peer_pids+=($!)
    qemu_units+=(-chardev "socket,id=unit$k,path=$work/unit$k.sock" -device "usb-redir,chardev=unit$k,bus=xhci.0")
done
for k in "${!serials[@]}"; do
    for _ in $(seq 100); do [[ -S "$work/unit$k.sock" ]] && break; sleep 0.05; done
done

joined="$(IFS=,; echo "${serials[*]}")"
started=$SECONDS
timeout 300 qemu-system-x86_64 -accel tcg -cpu max -m 512 -nographic -no-reboot -monitor none \
    -kernel "$kernel" -initrd "$work/initramfs.gz" \
    -append "console=ttyS0 ${VELMOR_GUEST_TRACE:+loglevel=7}${VELMOR_GUEST_TRACE:-quiet} panic=-1 velmor.serials=$joined" \
    -device qemu-xhci,id=xhci "${qemu_units[@]}" < /dev/null | tr -d '\r' > "$work/console.log" || true
echo "guest ran for $((SECONDS - started)) s"
for pid in "${peer_pids[@]}"; do wait "$pid" || true; done
peer_pids=()

grep -E '^(velmor|guest:|doctor-)' "$work/console.log" || true

printed() {     # CALL SERIAL: the last line the guest printed for it
    grep "^velmor $1 $2 " "$work/console.log" | tail -n 1 || true
}
expect_line() {     # CALL SERIAL EXPECTED_REST
    local line
    line="$(printed "$1" "$2")"
    [[ "$line" == "velmor $1 $2 $3" ]] || fail "guest printed '$line', expected 'velmor $1 $2 $3'"
}
unit_state() {      # K KEY
    awk -v key="$2" '$1 == key { print $2 }' "$work/unit$1.state"
}
expect_state() {    # K KEY VALUE
    local value
    value="$(unit_state "$1" "$2")"
    [[ "$value" == "$3" ]] || fail "unit ${serials[$1]}: $2 is '$value', expected '$3'"
}

grep -q '^velmor done' "$work/console.log" || fail "the guest session did not finish"
# Doctor, with ftdi_sio bound to every unit and after the rule's unbind.
grep -q '^guest: doctor bound exit status 1$' "$work/console.log" || fail "doctor did not find ftdi_sio bound"
grep -q '^guest: doctor unbound exit status 0$' "$work/console.log" || fail "doctor found a problem after the unbind"
grep -q "^doctor-bound: ok    D2XX: FTDI's D2XX 1\.4\.24" "$work/console.log" || fail "doctor did not name FTDI's D2XX"
for serial in "${serials[@]}"; do
    grep -q "^doctor-bound: FAIL  unit $serial (USB [0-9.-]*): the kernel's ftdi_sio serial driver has interface" "$work/console.log" ||
        fail "doctor did not report ftdi_sio bound to $serial"
    grep -q "^doctor-unbound: ok    unit $serial (USB [0-9.-]*): not bound to the kernel's ftdi_sio" "$work/console.log" ||
        fail "doctor still finds ftdi_sio on $serial"
done
expect_line getDeviceCount - "code 0 value ${#serials[@]}"
expect_line initialise - "code 0"
for k in "${!serials[@]}"; do
    serial="${serials[$k]}"
    position=$((120 * (k + 1) - 20))
    [[ "$(printed getDeviceIndex "$serial")" =~ code\ 0\ value\ [0-9]+$ ]] || fail "getDeviceIndex $serial: $(printed getDeviceIndex "$serial")"
    for call in motorOn setMotorSpeed setMotorAcceleration zeroMotorPosition moveMotorAbsolute moveMotorRelative; do
        expect_line "$call" "$serial" "code 0"
    done
    expect_line isMotorReady "$serial" "code 0 value 1"
    expect_line getAbsolutePosition "$serial" "code 0 value $position"
    # What the unit itself ended with, on the line the library sets up for it. The session's step
    # mode 4 is the unit's finest step mode 0 (step exponent 4): its counter holds 16 a step.
    expect_state "$k" serial "$serial"
    expect_state "$k" firmware-running 1
    expect_state "$k" motor-on 1
    expect_state "$k" position $((16 * position))
    expect_state "$k" step-mode 0
    expect_state "$k" packets-not-understood 0
    expect_state "$k" baud 500000
    expect_state "$k" latency 2
done

if [[ $failures -ne 0 ]]; then
    echo "--- console"; tail -n 60 "$work/console.log"
    for k in "${!serials[@]}"; do
        echo "--- unit $k state"; cat "$work/unit$k.state"
        echo "--- unit $k log"; tail -n 20 "$work/unit$k.log"
    done
    exit 1
fi
echo "guest session passed on ${#serials[@]} units"
