#!/usr/bin/env bash
# Builds the virtual machine's initramfs: busybox, the kernel's USB host and ftdi_sio modules, a
# program, velmorctl, FTDI's D2XX library and every shared library they load, the udev rule, and
# an init that brings up USB, waits for the units, lets ftdi_sio claim them and runs velmorctl
# doctor, applies the rule's unbind as udev would and runs doctor again, then runs the program
# with the serials from the kernel command line (velmor.serials=A,B) and powers off.
# Usage: make-guest-image.sh OUTPUT PROGRAM VELMORCTL D2XX_LIBRARY UDEV_RULE KERNEL_VERSION
set -euo pipefail

output="$1"
program="$2"
velmorctl="$3"
d2xx="$4"
rule="$5"
kernel_version="$6"

root="$(mktemp -d "${TMPDIR:-/tmp}/velmor-guest-root.XXXXXX")"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules,lib64,lib/x86_64-linux-gnu}

cp /bin/busybox "$root/bin/busybox"

modules_dir="/lib/modules/$kernel_version/kernel/drivers/usb"
for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
    found="$(find "$modules_dir" -name "$module.ko" -o -name "$module.ko.xz" | head -n 1)"
    [[ -n "$found" ]] || { echo "make-guest-image: no module $module under $modules_dir" >&2; exit 1; }
    case "$found" in
        *.xz) xz -dc "$found" > "$root/modules/$module.ko" ;;
        *) cp "$found" "$root/modules/$module.ko" ;;
    esac
done

cp "$program" "$root/bin/guest-session"
cp "$velmorctl" "$root/bin/velmorctl"
mkdir -p "$root/etc/udev/rules.d"
cp "$rule" "$root/etc/udev/rules.d/"
# VelmorLib loads FTDI's library at its first D2XX call, by the name libftd2xx.so.
cp -L "$d2xx" "$root/lib/x86_64-linux-gnu/libftd2xx.so"
# Every library the programs load, VelmorLib among them, in the folder the loader searches by
# default; the loader itself where the program's interpreter path names it.
ldd "$program" "$velmorctl" "$d2xx" | awk '/=> \// { print $3 } /^[ \t]*\/lib64\// { print $1 }' | sort -u | while read -r library; do
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
# What udev would run for each interface of our units that ftdi_sio binds: the rule's RUN action,
# with %k the interface's name. Busybox has no udev.
unbind_as_the_rule_does() {
    action=$(sed -n 's/.*DRIVER=="ftdi_sio".*RUN+="\(.*\)".*/\1/p' /etc/udev/rules.d/60-velmorlib.rules)
    for interface in /sys/bus/usb/drivers/ftdi_sio/*:*; do
        [ -e "$interface" ] || continue
        name=$(basename "$interface")
        case "$(cat /sys/bus/usb/devices/${name%%:*}/serial)" in
            JX*) eval "$(echo "$action" | sed "s/%k/$name/g")" && echo "guest: ftdi_sio unbound from $name" ;;
        esac
    done
}
run_doctor() {
    velmorctl doctor > /tmp/doctor.log 2>&1
    status=$?
    sed "s/^/doctor-$1: /" /tmp/doctor.log
    echo "guest: doctor $1 exit status $status"
}
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
insmod /modules/usbserial.ko && insmod /modules/ftdi_sio.ko || echo "guest: insmod ftdi_sio failed"
run_doctor bound
unbind_as_the_rule_does
run_doctor unbound
HOME=/tmp /bin/guest-session $(echo "$serials" | tr ',' ' ')
echo "guest: session exit status $?"
reboot -f
INIT
chmod +x "$root/init"

(cd "$root" && find . | cpio --quiet -o -H newc | gzip -1 > "$output")
