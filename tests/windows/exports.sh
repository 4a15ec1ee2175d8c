#!/usr/bin/env bash
# VelmorLib.h on Windows, with MinGW cross compilers (x86_64 and, where present, i686): a DLL
# built from the header alone (ExportStubs.c), linked as src/CMakeLists.txt links VelmorLib.dll
# with MinGW, exports every function under its plain name, the names of the build's VelmorLib.def
# (made from the headers); a C
# consumer imports them through __declspec(dllimport), as __stdcall on 32-bit, and links against
# the import library; with VELMOR_STATIC it refers to the functions directly.
# Usage: exports.sh SOURCE_DIR GENERATED_INCLUDE_DIR DEF_FILE TOOLCHAIN_PREFIX... (x86_64-w64-mingw32 i686-w64-mingw32)
# GENERATED_INCLUDE_DIR holds the build's VelmorLibVersion.h.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

source_dir=$1
generated_include_dir=$2
def_file=$3
shift 3
work="$(mktemp -d "${TMPDIR:-/tmp}/velmor-windows.XXXXXX")"
trap 'rm -rf "$work"' EXIT
flags=(-std=c99 -Wall -Wextra -pedantic-errors -Werror -I"$source_dir/include" -I"$generated_include_dir")
consumer="$source_dir/tests/install/consumer/consumer.c"
# What consumer.c calls, with the bytes of arguments that 32-bit __stdcall adds to the names.
called=(initialise@0 getDeviceCount@4 motorOn@4 getAbsolutePosition@8)

plain_names_of_def_file() {
    sed -n '/^EXPORTS/,$p' "$def_file" | sed 1d | awk 'NF { print $1 }' | sort
}

exported_names() {
    "$1-objdump" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort
}

# NAME as the C compiler of TOOLCHAIN spells the symbol: x86_64 has no decoration, i686 a
# leading underscore and the __stdcall @N.
symbol() {
    local toolchain=$1 name=$2
    if [[ "$toolchain" == i686* ]]; then echo "_$name"; else echo "${name%@*}"; fi
}

check_dll_exports() {
    local toolchain=$1 dir=$2 exported plain decorated name
    exported="$(exported_names "$toolchain" "$dir/VelmorLib.dll")"
    plain="$(grep -v @ <<<"$exported" || true)"
    [[ "$plain" == "$(plain_names_of_def_file)" ]] ||
        fail "$toolchain: the DLL's plain names differ from VelmorLib.def: $(diff <(echo "$plain") <(plain_names_of_def_file) | tr '\n' ' ')"
    # Decorated names only as aliases of plain ones (32-bit), so MinGW's import library links.
    while IFS= read -r decorated; do
        [[ -z "$decorated" ]] && continue
        name="${decorated%@*}"
        grep -qxF "$name" <<<"$plain" || fail "$toolchain: $decorated exported without $name"
    done < <(grep @ <<<"$exported" || true)
}

check_consumer_imports() {
    local toolchain=$1 dir=$2 undefined name
    "$toolchain-gcc" "${flags[@]}" -c "$consumer" -o "$dir/consumer.o"
    undefined="$("$toolchain-nm" -u "$dir/consumer.o" | awk '{ print $NF }')"
    for name in "${called[@]}"; do
        grep -qxF "__imp_$(symbol "$toolchain" "$name")" <<<"$undefined" ||
            fail "$toolchain: consumer does not import $name as __stdcall through dllimport: $(tr '\n' ' ' <<<"$undefined")"
    done
    "$toolchain-gcc" "$dir/consumer.o" -L"$dir" -lVelmorLib -o "$dir/consumer.exe" ||
        fail "$toolchain: consumer does not link against the import library"
}

check_static_consumer() {
    local toolchain=$1 dir=$2 undefined name
    "$toolchain-gcc" "${flags[@]}" -DVELMOR_STATIC -c "$consumer" -o "$dir/static-consumer.o"
    undefined="$("$toolchain-nm" -u "$dir/static-consumer.o" | awk '{ print $NF }')"
    for name in "${called[@]}"; do
        grep -qxF "$(symbol "$toolchain" "$name")" <<<"$undefined" ||
            fail "$toolchain: with VELMOR_STATIC the consumer does not call $name directly"
    done
}

for toolchain in "$@"; do
    dir="$work/$toolchain"
    mkdir -p "$dir"
    "$toolchain-gcc" "${flags[@]}" -shared -DVELMOR_BUILDING_LIBRARY "$source_dir/tests/windows/ExportStubs.c" \
        -o "$dir/VelmorLib.dll" -Wl,--add-stdcall-alias -Wl,--out-implib,"$dir/libVelmorLib.dll.a"
    check_dll_exports "$toolchain" "$dir"
    check_consumer_imports "$toolchain" "$dir"
    check_static_consumer "$toolchain" "$dir"
    echo "$toolchain: exports and imports ok"
done
