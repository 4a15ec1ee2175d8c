#!/usr/bin/env bash
# Fetches FTDI's D2XX (npm package ftdi-d2xx 1.3.1, D2XX 1.4.24) into a cache folder outside the
# source tree and lays it out for -DVELMOR_D2XX_DIR: for Linux x86_64, ftd2xx.h, WinTypes.h and
# libftd2xx.so made from FTDI's static archive; in its subfolder windows/, ftd2xx.h and FTDI's
# static library for 64-bit Windows as amd64/ftd2xx.lib. Nothing of FTDI's ends up in the
# repository.
# Usage: scripts/fetch-ftdi-d2xx.sh [--windows] [cache-folder]; prints the Linux folder, or with
# --windows the Windows one. Work already done is skipped.
set -euo pipefail

print_windows=false
if [[ "${1:-}" == --windows ]]; then
    print_windows=true
    shift
fi

readonly PACKAGE=ftdi-d2xx
readonly VERSION=1.3.1
readonly TARBALL="${PACKAGE}-${VERSION}.tgz"

folder="${1:-${XDG_CACHE_HOME:-$HOME/.cache}/velmorlib/${PACKAGE}-${VERSION}}"
mkdir -p "$folder"
folder="$(cd "$folder" && pwd)"

log() { echo "fetch-ftdi-d2xx: $*" >&2; }

fetch_tarball() {
    [[ -s "$folder/$TARBALL" ]] && return
    log "fetching ${PACKAGE}@${VERSION}"
    # npm pack only downloads the tarball; it installs nothing and runs no package scripts.
    (cd "$folder" && npm pack --silent "${PACKAGE}@${VERSION}" >/dev/null)
    [[ -s "$folder/$TARBALL" ]] || { log "npm pack gave no $TARBALL"; exit 1; }
}

readonly MEMBERS=(package/inc package/lib/Linux/libftd2xx.a package/lib/Windows/AMD64/ftd2xx.lib)

unpack() {
    local member missing=false
    for member in "${MEMBERS[@]}"; do
        [[ -e "$folder/$member" ]] || missing=true
    done
    $missing || return 0
    log "unpacking $TARBALL"
    rm -rf "$folder/package"
    tar -xzf "$folder/$TARBALL" -C "$folder" "${MEMBERS[@]}"
}

# Copies a file unless the copy is already the same.
lay_out() {
    local from="$1" to="$2"
    mkdir -p "$(dirname "$to")"
    cmp -s "$from" "$to" || cp "$from" "$to"
}

lay_out_headers() {
    local header
    for header in ftd2xx.h WinTypes.h; do
        lay_out "$folder/package/inc/$header" "$folder/$header"
    done
}

# The Windows header is the same ftd2xx.h; the library is built by MSVC (/MT) and links with LLD.
lay_out_windows() {
    lay_out "$folder/package/inc/ftd2xx.h" "$folder/windows/ftd2xx.h"
    lay_out "$folder/package/lib/Windows/AMD64/ftd2xx.lib" "$folder/windows/amd64/ftd2xx.lib"
}

make_shared_library() {
    local archive="$folder/package/lib/Linux/libftd2xx.a"
    [[ -f "$folder/libftd2xx.so" && "$folder/libftd2xx.so" -nt "$archive" ]] && return
    log "making libftd2xx.so from libftd2xx.a"
    gcc -shared -o "$folder/libftd2xx.so.tmp" \
        -Wl,--whole-archive "$archive" -Wl,--no-whole-archive \
        -Wl,-soname,libftd2xx.so -lpthread -ldl -lrt
    mv "$folder/libftd2xx.so.tmp" "$folder/libftd2xx.so"
}

fetch_tarball
unpack
lay_out_headers
make_shared_library
lay_out_windows
if $print_windows; then
    echo "$folder/windows"
else
    echo "$folder"
fi
