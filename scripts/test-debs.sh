#!/usr/bin/env bash
# Builds the Debian packages and checks them with lintian (scripts/package-deb.sh), installs them
# with apt into a fresh minimal Debian 12 root and uses them there, velmord's systemd units
# verified and velmord started from them serving velmorctl (tests/deb/install-test.sh), and puts
# the packaged udev rule to work in a virtual machine (tests/deb/udev-rule-test.sh).
# Needs root and Debian's archive. Arguments go to scripts/package-deb.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh debootstrap qemu-system-x86 linux-image-amd64 busybox-static cpio
build_dir=${VELMOR_DEB_BUILD_DIR:-build-deb}
out_dir=$(realpath -m "${1:-$build_dir/packages}")
bash scripts/package-deb.sh "$out_dir"
bash tests/deb/install-test.sh "$out_dir" "$build_dir/lib/libftd2xx.so"

shipped=$(mktemp -d "${TMPDIR:-/tmp}/velmor-rule.XXXXXX")
trap 'rm -rf "$shipped"' EXIT
dpkg-deb -x "$out_dir"/velmorctl_*.deb "$shipped"
bash tests/deb/udev-rule-test.sh "$shipped/usr/lib/udev/rules.d/60-velmorlib.rules" "$build_dir/bin/velmor-usb-peer"
