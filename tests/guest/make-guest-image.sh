#!/usr/bin/env bash
# Builds the virtual machine's initramfs: busybox, the kernel's USB host modules, a program and
# every shared library it loads, and an init that brings up USB, waits for the units, runs the
# program with the serials from the kernel command line (velmor.serials=A,B) and powers off.
# Usage: make-guest-image.sh OUTPUT PROGRAM KERNEL_VERSION
set -euo pipefail

output="$1"
program="$2"
kernel_version="$3"

root="$(mktemp -d "${TMPDIR:-/tmp}/velmor-guest-root.XXXXXX")"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules,lib64,lib/x86_64-linux-gnu}

cp /bin/busybox "$root/bin/busybox"

modules_dir="/lib/modules/$kernel_version/kernel/drivers/usb"
for module in usb-common usbcore xhci-hcd xhci-pci; do
    found="$(find "$modules_dir" -name "$module.ko" -o -name "$module.ko.xz" | head -n 1)"
    [[ -n "$found" ]] || { echo "make-guest-image: no module $module under $modules_dir" >&2; exit 1; }
    case "$found" in
        *.xz) xz -dc "$found" > "$root/modules/$module.ko" ;;
        *) cp "$found" "$root/modules/$module.ko" ;;
    esac
done

cp "$program" "$root/bin/guest-session"
# Every library the program loads, FTDI's and VelmorLib among them, in the folder the loader
# searches by default; the loader itself where the program's interpreter path names it.
ldd "$program" | awk '/=> \// { print $3 } /^[ \t]*\/lib64\// { print $1 }' | while read -r library; do
    case "$library" in
        /lib64/*) cp -L "$library" "$root/lib64/" ;;
        *) cp -L "$library" "$root/lib/x86_64-linux-gnu/" ;;
    esac
done

cat > "$root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for module in usb-common usbcore xhci-hcd xhci-pci; do
    insmod /modules/$module.ko || echo "guest: insmod $module failed"
done
serials=""
for word in $(cat /proc/cmdline); do
    case "$word" in velmor.serials=*) serials="${word#velmor.serials=}" ;; esac
done
expected=$(echo "$serials" | tr ',' '\n' | grep -c .)
tries=0
while [ "$tries" -lt 300 ]; do
    attached=$(cat /sys/bus/usb/devices/*/idVendor 2>/dev/null | grep -c 0403)
    [ "$attached" -ge "$expected" ] && break
    sleep 0.1
    tries=$((tries + 1))
done
echo "guest: $attached of $expected units on the bus"
cd /tmp
HOME=/tmp /bin/guest-session $(echo "$serials" | tr ',' ' ')
echo "guest: session exit status $?"
reboot -f
INIT
chmod +x "$root/init"

(cd "$root" && find . | cpio --quiet -o -H newc | gzip -1 > "$output")
