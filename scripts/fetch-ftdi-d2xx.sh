#!/usr/bin/env bash
# Fetches FTDI's D2XX for Linux x86_64 (npm package ftdi-d2xx 1.3.1, D2XX 1.4.24) into a cache
# folder outside the source tree and lays it out for -DVELMOR_D2XX_DIR: ftd2xx.h, WinTypes.h and
# libftd2xx.so made from FTDI's static archive. Nothing of FTDI's ends up in the repository.
# Usage: scripts/fetch-ftdi-d2xx.sh [cache-folder]; prints the folder. Work already done is skipped.
set -euo pipefail

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

unpack() {
    [[ -f "$folder/package/lib/Linux/libftd2xx.a" ]] && return
    log "unpacking $TARBALL"
    rm -rf "$folder/package"
    tar -xzf "$folder/$TARBALL" -C "$folder" package/inc package/lib/Linux/libftd2xx.a
}

lay_out_headers() {
    local header
    for header in ftd2xx.h WinTypes.h; do
        cmp -s "$folder/package/inc/$header" "$folder/$header" || cp "$folder/package/inc/$header" "$folder/$header"
    done
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
echo "$folder"
