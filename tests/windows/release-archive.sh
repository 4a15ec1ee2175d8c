#!/usr/bin/env bash
# The Windows release archive as a user gets it: packed with CPack, unpacked into a folder of its
# own and run in a fresh Wine prefix that has nothing of the build on its path, with only the
# emulator's ftd2xx.dll put beside it (where FTDI's driver would install its own). velmorctl.exe
# lists the units and finishes a waited move, and velmord.exe starts, so nothing the programs
# load is missing.
# Usage: release-archive.sh BUILD_DIR FTD2XX_DLL WINE CPACK
set -euo pipefail
build_dir=$1 ftd2xx_dll=$2 wine=$3 cpack=$4

fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-archive.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=err+module WINEDLLOVERRIDES=mscoree,mshtml=
unset WINEPATH
mkdir -p "$WINEPREFIX"
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[[ -x "$wineserver" ]] || wineserver=wineserver
cleanup() { "$wineserver" -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT

(cd "$build_dir" && "$cpack" -G ZIP -B "$work/pack" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
archive=$(ls "$work"/pack/VelmorLib-*-win64.zip)
(cd "$work" && cmake -E tar xf "$archive")
root=$work/$(basename "$archive" .zip)
for file in bin/VelmorLib.dll bin/velmorctl.exe bin/velmord.exe bin/Qt5Core.dll bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll \
            bin/libwinpthread-1.dll lib/libVelmorLib.dll.a lib/VelmorLib.lib include/VelmorLib.h \
            include/VelmorLibExtras.h include/VelmorLibVersion.h; do
  [[ -f "$root/$file" ]] || fail "$(basename "$archive") has no $file"
done
echo "$(basename "$archive"): $(cd "$root" && find . -type f | sort | tr '\n' ' ')"
[[ -z "$(cd "$root" && find . -iname 'ftd2xx*')" ]] || fail "the archive carries an ftd2xx library"
cp "$ftd2xx_dll" "$root/bin/ftd2xx.dll"

# A persistent server, started with its output elsewhere, keeps Wine's background services from
# holding the test's output open.
"$wineserver" -p >/dev/null 2>&1
"$wine" cmd /c exit >/dev/null 2>&1 || true

run() { (cd "$root/bin" && "$wine" ./velmorctl.exe "$@" 2>"$work/err" | tr -d '\r'); }
listing=$(run list) || fail "velmorctl.exe list failed: $(cat "$work/err")"
echo "$listing"
grep -q "supported units" <<<"$listing" || fail "no listing: $listing $(cat "$work/err")"
moved=$(run on 1 move-by 1 200 --wait position 1) || fail "the waited move failed: $(cat "$work/err")"
echo "$moved"
grep -qx "unit 1 reached position 200" <<<"$moved" || fail "the move did not finish: $moved"
grep -qx "position of unit 1: 200" <<<"$moved" || fail "no position after the move: $moved"
version=$(cd "$root/bin" && "$wine" ./velmord.exe --version 2>"$work/err" | tr -d '\r') \
  || fail "velmord.exe --version failed: $(cat "$work/err")"
echo "$version"
grep -qx "velmord [0-9]*\.[0-9]*\.[0-9]*" <<<"$version" || fail "velmord.exe did not say its version: $version"
