#!/usr/bin/env bash
# The Debian packages as a user gets them: installed with apt into a fresh minimal Debian 12 root
# (debootstrap --variant=minbase), which fetches their dependencies from Debian's archive, and
# used there. velmorctl runs first without FTDI's D2XX, as on a machine where it is not installed
# yet, then with the emulator's libftd2xx.so put where FTDI's installer puts its own. velmord's
# systemd units pass systemd-analyze verify, and velmord started as its socket unit starts it
# serves velmorctl. Last, the packages are purged and must leave nothing behind.
# Usage: install-test.sh PACKAGE_FOLDER EMULATOR_LIBFTD2XX_SO
# The bootstrapped root is kept, with apt's lists and the packages it fetched, in
# ${VELMOR_CACHE_DIR:-~/.cache/velmorlib}; VELMOR_DEBIAN_MIRROR names the archive.
set -euo pipefail
package_dir=$(realpath "$1") emulator_library=$(realpath "$2")
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
suite=bookworm
mirror=${VELMOR_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${VELMOR_CACHE_DIR:-$HOME/.cache/velmorlib}
root_archive=$cache/debootstrap-$suite-minbase.tar
apt_archives=$cache/apt-archives-$suite

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { printf '[%4ss] %s\n' "$SECONDS" "$*"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-debs.XXXXXX")
root=$work/root
velmord_pid=
# Nothing is mounted in the root: apt, dpkg and the programs need no /proc. debootstrap mounts
# /proc and /sys in the root it builds, and a failed run may leave them there: they go first, and
# nothing is deleted through a mount that stays.
mounts_in_work() { awk -v work="$work/" 'index($2, work) == 1 { print $2 }' /proc/mounts | sort -r; }
cleanup() {
    local mount
    stop_velmord
    mounts_in_work | while read -r mount; do umount "$mount" || umount -l "$mount" || true; done
    [[ -n "$(mounts_in_work)" ]] || rm -rf "$work"
}
trap cleanup EXIT

in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# The root once per machine: debootstrap takes minutes, unpacking the kept root seconds.
bootstrapped_root() {
    mkdir -p "$cache"
    exec 9>"$cache/debootstrap.lock"
    flock 9
    if [[ ! -f "$root_archive" ]]; then
        step "debootstrap --variant=minbase $suite from $mirror (once; kept in $root_archive)"
        local fresh=$work/fresh
        debootstrap --variant=minbase "$suite" "$fresh" "$mirror" >"$work/debootstrap.log" 2>&1 ||
            { tail -20 "$work/debootstrap.log"; fail "debootstrap failed"; }
        printf 'deb %s %s main\n' "$mirror" "$suite" >"$fresh/etc/apt/sources.list"
        # The packages debootstrap fetched are installed: only the archive's lists are kept.
        cp -L /etc/resolv.conf "$fresh/etc/resolv.conf"
        chroot "$fresh" apt-get clean
        chroot "$fresh" apt-get update -qq
        tar -C "$fresh" -cf "$root_archive.new" . && mv "$root_archive.new" "$root_archive"
        rm -rf "$fresh"
    fi
    mkdir "$root"
    tar -C "$root" -xf "$root_archive"
    exec 9>&-
    cp -L /etc/resolv.conf "$root/etc/resolv.conf"
}

# The packages apt fetched last time are handed to it again; those it fetches now are kept.
install_packages() {
    mkdir -p "$apt_archives" "$root/tmp/debs"
    cp "$package_dir"/*.deb "$root/tmp/debs/"
    find "$apt_archives" -name '*.deb' -exec cp -t "$root/var/cache/apt/archives/" {} +
    in_root apt-get update -qq >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get update failed"; }
    in_root sh -c 'apt-get install -y -q --no-install-recommends /tmp/debs/*.deb' >"$work/apt.log" 2>&1 ||
        { tail -30 "$work/apt.log"; fail "apt-get install of the packages failed"; }
    find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -nt "$apt_archives/" {} +
}

# velmord as the socket unit starts it: systemd-socket-activate listens where velmord.socket
# does and starts the service's command with the socket on the first connection. The root's own
# systemd-socket-activate runs in it, so that velmord is the installed one; its log in
# $work/velmord.log.
start_velmord() {    # SOCKET COMMAND...
    local socket=$1
    shift
    mkdir -p "$(dirname "$root$socket")"
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        systemd-socket-activate --listen="$socket" --setenv=VELMOR_EMULATOR_STATE=off "$@" \
        >"$work/velmord.log" 2>&1 &
    velmord_pid=$!
    local tries
    for tries in $(seq 100); do
        [[ -S "$root$socket" ]] && return
        kill -0 "$velmord_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/velmord.log"
    fail "nothing listens on $socket"
}

stop_velmord() {
    [[ -n "$velmord_pid" ]] || return 0
    kill "$velmord_pid" 2>/dev/null || true
    wait "$velmord_pid" 2>/dev/null || true
    velmord_pid=
}

has_package() {
    compgen -G "$package_dir/$1_*.deb" >/dev/null
}

package_names() {
    local deb
    for deb in "$package_dir"/*.deb; do dpkg-deb -f "$deb" Package; done
}

check_installed_files() {
    local file
    for file in /usr/lib/x86_64-linux-gnu/libVelmorLib.so.0 /usr/bin/velmorctl \
                /usr/lib/udev/rules.d/60-velmorlib.rules \
                /usr/include/VelmorLib.h /usr/lib/x86_64-linux-gnu/pkgconfig/velmorlib.pc \
                /usr/lib/x86_64-linux-gnu/cmake/VelmorLib/VelmorLibConfig.cmake; do
        [[ -e "$root$file" ]] || fail "not installed: $file"
    done
    if has_package velmord; then
        for file in /usr/bin/velmord /usr/share/man/man1/velmord.1.gz \
                    /usr/lib/systemd/system/velmord.socket /usr/lib/systemd/system/velmord.service \
                    /usr/lib/systemd/user/velmord.socket /usr/lib/systemd/user/velmord.service; do
            [[ -e "$root$file" ]] || fail "not installed: $file"
        done
    elif [[ -d "$source_dir/tools/velmord" ]]; then
        fail "the sources have velmord but there is no velmord package"
    fi
    # The manual page comes with the sources' docs/velmorctl.1.
    if [[ -f "$source_dir/docs/velmorctl.1" ]]; then
        zcat "$root/usr/share/man/man1/velmorctl.1.gz" | grep -q '^\.TH' || fail "no manual page of velmorctl"
    else
        echo "no docs/velmorctl.1 in the sources: manual page not checked"
    fi
}

check_version() {
    local output
    output=$(in_root velmorctl --version 2>&1) || fail "velmorctl --version failed: $output"
    echo "$output"
    grep -qF "$(dpkg-deb -f "$package_dir"/velmorctl_*.deb Version | cut -d- -f1)" <<<"$output" ||
        fail "velmorctl --version does not tell the packaged version"
}

# A library that names libftd2xx.so among its needed libraries cannot even start without it.
links_d2xx() {
    readelf -d "$root/usr/lib/x86_64-linux-gnu/libVelmorLib.so.0" | grep -q 'NEEDED.*libftd2xx'
}

# Without D2XX: velmorctl tells its version, and for the units says what is missing and where to
# get it, with exit status 69.
check_without_d2xx() {
    local status=0 output
    if links_d2xx; then
        echo "libVelmorLib.so.0 needs libftd2xx.so at start: velmorctl is not run without D2XX"
        return
    fi
    check_version
    output=$(in_root velmorctl list 2>&1) || status=$?
    echo "velmorctl list, exit status $status: $output"
    [[ $status -eq 69 ]] || fail "velmorctl list without D2XX exits $status, not 69"
    grep -qi 'd2xx' <<<"$output" && grep -qi 'ftdi' <<<"$output" ||
        fail "velmorctl list without D2XX does not say what is missing and where to get it"
}

# The emulator where FTDI's installer puts libftd2xx.so, found through the loader's cache.
check_on_emulator() {
    local output
    cp "$emulator_library" "$root/usr/local/lib/libftd2xx.so"
    in_root ldconfig
    check_version
    output=$(in_root env VELMOR_EMULATOR_STATE=off velmorctl list 2>&1) || fail "velmorctl list on the emulator failed: $output"
    echo "$output"
    grep -q 'supported units' <<<"$output" && grep -q JXah00102 <<<"$output" ||
        fail "velmorctl list does not show the emulated units"
    if compgen -G "$package_dir/python3-velmorlib_*.deb" >/dev/null; then
        output=$(in_root env VELMOR_EMULATOR_STATE=off python3 -c \
            'import velmorlib; velmorlib.initialise(); print("velmorlib", velmorlib.get_version(), "units", velmorlib.get_device_count())' 2>&1) ||
            fail "the Python module failed: $output"
        echo "$output"
    elif [[ -f "$source_dir/python/pyproject.toml" ]]; then
        fail "the sources have a Python module but there is no python3-velmorlib package"
    else
        echo "no python3-velmorlib package (the sources install no Python module): not checked"
    fi
}

# The units as systemd reads them: systemd-analyze verify, in the root with its systemd (which
# brings the targets the units name and the tool), reports nothing. The manual pages they name
# are checked as files: the root has no man.
check_velmord_units() {
    local output page
    in_root apt-get install -y -q --no-install-recommends systemd >"$work/apt.log" 2>&1 ||
        { tail -20 "$work/apt.log"; fail "apt-get install systemd failed"; }
    find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -nt "$apt_archives/" {} +
    output=$(in_root systemd-analyze --man=no verify /usr/lib/systemd/system/velmord.socket \
        /usr/lib/systemd/system/velmord.service 2>&1) || fail "systemd-analyze verify of the system units failed: $output"
    [[ -z "$output" ]] || fail "systemd-analyze verify of the system units says: $output"
    mkdir -p -m 0700 "$root/tmp/runtime"
    output=$(in_root env XDG_RUNTIME_DIR=/tmp/runtime systemd-analyze --user --man=no verify \
        /usr/lib/systemd/user/velmord.socket /usr/lib/systemd/user/velmord.service 2>&1) ||
        fail "systemd-analyze verify of the user units failed: $output"
    [[ -z "$output" ]] || fail "systemd-analyze verify of the user units says: $output"
    for page in $(sed -n 's/^Documentation=//p' "$root"/usr/lib/systemd/{system,user}/velmord.* | tr ' ' '\n' |
                  sed -n 's/^man:\(.*\)(\([1-9]\))$/\1.\2/p' | sort -u); do
        [[ -f "$root/usr/share/man/man${page##*.}/$page.gz" ]] || fail "the units name the manual page $page, which is not installed"
    done
    echo "velmord.socket, velmord.service (system and user): systemd-analyze verify reports nothing"
}

# velmord started from the installed units, on the emulator: the socket unit's ListenStream and
# the service's ExecStart (no --socket: it takes the socket passed), then the installed velmorctl
# lists velmord's units through it, and doctor names it; velmord's log shows velmorctl connected.
check_velmord_serves() {
    local socket command output pid
    socket=$(sed -n 's/^ListenStream=//p' "$root/usr/lib/systemd/system/velmord.socket")
    command=$(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/system/velmord.service")
    [[ "$socket" == /run/velmord/velmord.sock && "$command" == /usr/bin/velmord ]] ||
        fail "velmord.socket listens on '$socket', velmord.service runs '$command'"
    grep -qx 'SocketMode=0660' "$root/usr/lib/systemd/system/velmord.socket" &&
        grep -qx 'SocketGroup=plugdev' "$root/usr/lib/systemd/system/velmord.socket" ||
        fail "velmord.socket is not for the plugdev group alone"
    start_velmord "$socket" $command
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 VELMOR_EMULATOR_STATE=off \
        VELMOR_BROKER="$socket" velmorctl list >"$work/velmorctl.out" 2>&1 &
    pid=$!
    wait "$pid" || { cat "$work/velmorctl.out" "$work/velmord.log"; fail "velmorctl list through velmord failed"; }
    output=$(cat "$work/velmorctl.out")
    echo "$output"
    grep -q 'supported units' <<<"$output" && grep -q JXah00102 <<<"$output" ||
        fail "velmorctl list through velmord does not show the emulated units"
    output=$(in_root env VELMOR_EMULATOR_STATE=off VELMOR_BROKER="$socket" velmorctl doctor 2>&1) || true
    grep -E "^ok +velmord: runs at $socket" <<<"$output" || { echo "$output"; fail "velmorctl doctor does not name velmord"; }
    stop_velmord
    cat "$work/velmord.log"
    grep -q '(socket activation)' "$work/velmord.log" || fail "velmord did not take the activated socket"
    grep -qE "pid $pid\b.*\) connected" "$work/velmord.log" || fail "velmord's log does not show velmorctl (pid $pid) connected"
    rm -rf "${root:?}/run/velmord"
}

check_purge() {
    local names left
    rm "$root/usr/local/lib/libftd2xx.so"
    mapfile -t names < <(package_names)
    in_root apt-get purge -y -q "${names[@]}" >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; fail "apt-get purge failed"; }
    left=$(cd "$root" && find usr -iname '*velmor*' | head)
    [[ -z "$left" ]] || fail "left after purging the packages: $left"
}

step "root"
bootstrapped_root
step "apt-get install $(package_names | paste -sd' ')"
install_packages
step "installed files"
check_installed_files
step "velmorctl --version and list without D2XX"
check_without_d2xx
step "velmorctl --version, list and the Python module on the emulator"
check_on_emulator
if has_package velmord; then
    step "velmord's systemd units: systemd-analyze verify"
    check_velmord_units
    step "velmord started as velmord.socket starts it, serving velmorctl"
    check_velmord_serves
fi
step "apt-get purge"
check_purge
step "packages installed with apt in a fresh $suite root, used and purged: ok"
