#!/usr/bin/env bash
# The udev rule at work in a virtual machine: one of our units (serial JXah00102) and another
# FTDI adapter (serial FT4KX9QZ), both FT232R chips emulated at the USB level, are plugged in
# while udevd runs with the rule alone. Our unit must lose the kernel's serial driver and its USB
# device file must belong to the plugdev group; the other adapter keeps its ttyUSB port and its
# device file stays as the kernel made it (root's, 0600).
# Usage: udev-rule-test.sh RULE_FILE VELMOR_USB_PEER [KERNEL]
set -euo pipefail
rule=$(realpath "$1") peer=$(realpath "$2")
kernel=${3:-$(ls /boot/vmlinuz-* | sort -V | tail -n 1)}
kernel_version=${kernel##*/vmlinuz-}
ours=JXah00102 other=FT4KX9QZ

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-udev.XXXXXX")
peer_pids=()
cleanup() {
    local pid
    for pid in "${peer_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# The guest: busybox, the kernel's USB host and FTDI serial modules, udevd with only our rule.
image=$work/root
mkdir -p "$image"/{bin,dev,proc,sys,run,tmp,etc,modules,lib64,lib/x86_64-linux-gnu,lib/udev/rules.d}
cp /bin/busybox "$image/bin/busybox"
cp /bin/udevadm "$image/bin/udevadm"
ldd /bin/udevadm | awk '/=> \// { print $3 } /^[ \t]*\/lib64\// { print $1 }' | while read -r library; do
    case "$library" in
        /lib64/*) cp -L "$library" "$image/lib64/" ;;
        *) cp -L "$library" "$image/lib/x86_64-linux-gnu/" ;;
    esac
done
modules=/lib/modules/$kernel_version/kernel/drivers/usb
for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
    found=$(find "$modules" \( -name "$module.ko" -o -name "$module.ko.xz" \) | head -n 1)
    [[ -n "$found" ]] || fail "no module $module under $modules"
    case "$found" in
        *.xz) xz -dc "$found" >"$image/modules/$module.ko" ;;
        *) cp "$found" "$image/modules/$module.ko" ;;
    esac
done
cp "$rule" "$image/lib/udev/rules.d/"
printf 'root:x:0:0:root:/:/bin/sh\n' >"$image/etc/passwd"
printf 'root:x:0:\nplugdev:x:46:\n' >"$image/etc/group"
cat >"$image/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /run
ln -s /bin/udevadm /bin/systemd-udevd
systemd-udevd --daemon
for module in usb-common usbcore xhci-hcd xhci-pci; do insmod /modules/$module.ko; done
tries=0
while [ "$(cat /sys/bus/usb/devices/*/idVendor 2>/dev/null | grep -c 0403)" -lt 2 ] && [ $tries -lt 300 ]; do
    sleep 0.1; tries=$((tries + 1))
done
# The serial driver arrives while udevd listens, as it does when a unit is plugged in.
insmod /modules/usbserial.ko
insmod /modules/ftdi_sio.ko
udevadm settle --timeout=30
for device in /sys/bus/usb/devices/*; do
    [ "$(cat $device/idVendor 2>/dev/null)" = 0403 ] || continue
    driver=none
    [ -e $device/${device##*/}:1.0/driver ] && driver=$(basename $(readlink $device/${device##*/}:1.0/driver))
    node=/dev/bus/usb/$(printf %03d $(cat $device/busnum))/$(printf %03d $(cat $device/devnum))
    echo "udev-check $(cat $device/serial) driver=$driver group=$(stat -c %G $node) mode=$(stat -c %a $node)"
done
echo "udev-check done"
reboot -f
INIT
chmod +x "$image/init"
(cd "$image" && find . | cpio --quiet -o -H newc | gzip -1 >"$work/initramfs.gz")

units=()
for serial in "$ours" "$other"; do
    "$peer" --socket "$work/$serial.sock" --serial "$serial" >/dev/null 2>"$work/$serial.log" &
    peer_pids+=($!)
    units+=(-chardev "socket,id=$serial,path=$work/$serial.sock" -device "usb-redir,chardev=$serial,bus=xhci.0")
done
for serial in "$ours" "$other"; do
    for _ in $(seq 100); do [[ -S "$work/$serial.sock" ]] && break; sleep 0.05; done
done
timeout 300 qemu-system-x86_64 -accel tcg -cpu max -m 512 -nographic -no-reboot -monitor none \
    -kernel "$kernel" -initrd "$work/initramfs.gz" -append "console=ttyS0 quiet panic=-1" \
    -device qemu-xhci,id=xhci "${units[@]}" </dev/null | tr -d '\r' >"$work/console.log" || true

grep '^udev-check' "$work/console.log" || true
expect() {      # SERIAL EXPECTED
    local line
    line=$(grep "^udev-check $1 " "$work/console.log" | tail -n 1 || true)
    [[ "$line" == "udev-check $1 $2" ]] || { tail -n 40 "$work/console.log"; fail "guest printed '$line', expected 'udev-check $1 $2'"; }
}
grep -q '^udev-check done' "$work/console.log" || { tail -n 40 "$work/console.log"; fail "the guest did not finish"; }
expect "$ours" "driver=none group=plugdev mode=660"
expect "$other" "driver=ftdi_sio group=root mode=600"
echo "udev rule: $ours released by ftdi_sio and open to plugdev, $other left to ftdi_sio"
