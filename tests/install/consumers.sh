#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it as a program outside the project would:
# checks what was installed, builds a C and a C++ program against it through pkg-config and
# through find_package(VelmorLib) with no D2XX library in sight (the library loads it at run
# time), and runs them, the installed velmorctl and the installed Python module on the emulator,
# and without any D2XX.
# Arguments: KEY=VALUE settings, see tests/install/CMakeLists.txt.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

for setting in "$@"; do
    case "${setting%%=*}" in
        build_dir|config|emulator_lib_dir|version|bindir|includedir|libdir|udev_rules_dir|cc|cxx|cmake|generator|make_program|applications|man_pages|systemd_units|python_dir|python_source|python)
            declare "$setting" ;;
        *) fail "unknown setting $setting" ;;
    esac
done

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/velmor-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
major="${version%%.*}"
bench='FT232R:JXah00102:3.0;FT232H:JXbh01001:1.0'

# Runs a program on the emulator's libftd2xx.so from the build tree, with the bench above; its
# calls its own, never those of a velmord that may run on the machine.
on_emulator() {
    env LD_LIBRARY_PATH="$emulator_lib_dir" VELMOR_EMULATOR_BENCH="$bench" VELMOR_EMULATOR_STATE=off VELMOR_BROKER=off "$@"
}

# Runs a program where no libftd2xx.so can be found, as on a machine without FTDI's D2XX.
without_d2xx() {
    env -u LD_LIBRARY_PATH VELMOR_EMULATOR_STATE=off VELMOR_BROKER=off "$@"
}

# Whether the system's loader finds a libftd2xx.so of its own (FTDI's, installed).
system_has_d2xx() {
    ldconfig -p 2>/dev/null | grep -q 'libftd2xx\.so\b'
}

# The file a program loads for a library, as the loader resolves it on the emulator.
resolved() {
    local program=$1 library=$2 path
    path="$(on_emulator ldd "$program" | awk -v library="$library" '$1 == library { print $3 }')"
    [[ -n "$path" && "$path" != "not" ]] || fail "$program: $library not found"
    realpath "$path"
}

# The library loads libftd2xx.so itself, at its first D2XX call: the program names it nowhere,
# and the loader's log shows the emulator's file started when PROGRAM runs with ARGS.
check_loads_installed_library_and_emulator() {    # PROGRAM [ARGS...]
    local program=$1
    [[ "$(resolved "$program" "libVelmorLib.so.$major")" == "$(realpath "$prefix/$libdir/libVelmorLib.so.$major")" ]] ||
        fail "$program does not load the installed libVelmorLib.so.$major"
    readelf -d "$program" | grep -q 'NEEDED.*libftd2xx' && fail "$program needs libftd2xx.so at link time"
    local log
    log="$(on_emulator env LD_DEBUG=libs "$@" 2>&1 >/dev/null)" || true
    grep -qF "calling init: $emulator_lib_dir/libftd2xx.so" <<<"$log" || fail "$program does not load the emulator's libftd2xx.so"
}

# Nothing in the library refers to D2XX but through the loader.
check_library_has_no_d2xx_link() {
    local library="$prefix/$libdir/libVelmorLib.so.$version"
    readelf -d "$library" | grep -q 'NEEDED.*libftd2xx' && fail "libVelmorLib.so needs libftd2xx.so at link time"
    nm -D --undefined-only "$library" | grep -q ' FT_' && fail "libVelmorLib.so refers to D2XX functions: $(nm -D --undefined-only "$library" | grep ' FT_' | tr '\n' ' ')"
    return 0
}

runpath() {
    readelf -d "$1" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p'
}

check_installed_files() {
    local package_dir="$libdir/cmake/VelmorLib" file
    local required=(
        "$includedir/VelmorLib.h"
        "$includedir/VelmorLibExtras.h"
        "$includedir/VelmorLib.hpp"
        "$includedir/VelmorLibVersion.h"
        "$libdir/libVelmorLib.so"
        "$libdir/libVelmorLib.so.$major"
        "$libdir/libVelmorLib.so.$version"
        "$libdir/pkgconfig/velmorlib.pc"
        "$package_dir/VelmorLibConfig.cmake"
        "$package_dir/VelmorLibConfigVersion.cmake"
        "$package_dir/VelmorLibTargets.cmake"
    )
    [[ -z "${udev_rules_dir:-}" ]] || required+=("$udev_rules_dir/60-velmorlib.rules")
    local application
    for application in ${applications//,/ }; do
        required+=("$bindir/$application")
    done
    required+=(${man_pages//,/ } ${systemd_units//,/ } "$python_dir/velmorlib-$version.dist-info/METADATA")
    while IFS= read -r file; do
        required+=("$python_dir/velmorlib/$file")
    done < <(cd "$python_source" && find . -maxdepth 1 -type f \( -name '*.py' -o -name py.typed \) -printf '%P\n')
    for file in "${required[@]}"; do
        [[ -e "$prefix/$file" ]] || fail "not installed: $file"
    done
    # Nothing else: in particular not the emulator (libftd2xx.so) nor any test.
    while IFS= read -r file; do
        case "$file" in
            "$package_dir"/VelmorLibTargets-*.cmake) ;;
            *) printf '%s\n' "${required[@]}" | grep -qxF "$file" || fail "installed but not expected: $file" ;;
        esac
    done < <(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n')

    [[ "$(readlink "$prefix/$libdir/libVelmorLib.so")" == "libVelmorLib.so.$major" ]] || fail "libVelmorLib.so does not link to the soname"
    [[ "$(readlink "$prefix/$libdir/libVelmorLib.so.$major")" == "libVelmorLib.so.$version" ]] || fail "libVelmorLib.so.$major does not link to the library"
    readelf -d "$prefix/$libdir/libVelmorLib.so.$version" | grep -qF "Library soname: [libVelmorLib.so.$major]" || fail "wrong soname"
}

# The installed binaries look only in the installed library folder, never in the build tree.
check_install_rpaths() {
    local bin_to_lib
    bin_to_lib="$(realpath -m --relative-to="$prefix/$bindir" "$prefix/$libdir")"
    [[ "$(runpath "$prefix/$libdir/libVelmorLib.so.$version")" == '$ORIGIN' ]] ||
        fail "libVelmorLib.so rpath is '$(runpath "$prefix/$libdir/libVelmorLib.so.$version")'"
    local application
    for application in ${applications//,/ }; do
        [[ "$(runpath "$prefix/$bindir/$application")" == "\$ORIGIN/$bin_to_lib" ]] ||
            fail "$application rpath is '$(runpath "$prefix/$bindir/$application")'"
    done
}

# velmord's services run the velmord installed beside velmorctl.
check_systemd_units() {
    local unit command
    for unit in ${systemd_units//,/ }; do
        [[ "$unit" == *.service ]] || continue
        command="$(sed -n 's/^ExecStart=//p' "$prefix/$unit")"
        [[ "$command" == */"$bindir"/velmord ]] || fail "$unit runs '$command', not velmord from $bindir"
    done
}

check_velmorctl() {
    local output
    output="$(on_emulator "$prefix/$bindir/velmorctl" list)" || fail "installed velmorctl list failed: $output"
    grep -q JXah00102 <<<"$output" && grep -q JXbh01001 <<<"$output" || fail "installed velmorctl list: $output"
    check_loads_installed_library_and_emulator "$prefix/$bindir/velmorctl" list
}

check_consumer() {
    local program=$1 output expected
    expected="initialise 0
getDeviceCount 0 count 2
motorOn 0
getAbsolutePosition 0 position 0
velmorGetVersion 0 as built 1"
    output="$(on_emulator "$program")" || fail "$program failed: $output"
    [[ "$output" == "$expected" ]] || fail "$program printed:
$output
expected:
$expected"
    check_loads_installed_library_and_emulator "$program"
}

# The installed module finds the library installed beside it, with no setting, and says the
# project's version.
check_python_module() {
    [[ -n "$python" && "$python" != *-NOTFOUND ]] || { echo "no python3: the installed Python module is not tried"; return; }
    local output expected
    output="$(on_emulator env -u VELMORLIB_LIBRARY PYTHONPATH="$prefix/$python_dir" PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import importlib.metadata, os, velmorlib
print(velmorlib.__version__, importlib.metadata.version("velmorlib"), velmorlib.get_device_count())
print(os.path.realpath(velmorlib.library_path()))
print(os.path.realpath(velmorlib.__file__))')" || fail "the installed Python module failed: $output"
    expected="$version $version 2
$(realpath "$prefix/$libdir/libVelmorLib.so.$version")
$(realpath "$prefix/$python_dir/velmorlib/__init__.py")"
    [[ "$output" == "$expected" ]] || fail "the installed Python module printed:
$output
expected:
$expected"
}

consumers_through_pkg_config() {
    local flags pkg_libdir
    export PKG_CONFIG_LIBDIR="$prefix/$libdir/pkgconfig" PKG_CONFIG_PATH=
    [[ "$(pkg-config --modversion velmorlib)" == "$version" ]] || fail "pkg-config: wrong version"
    read -ra flags <<<"$(pkg-config --cflags --libs velmorlib)"
    pkg_libdir="$(pkg-config --variable=libdir velmorlib)"
    without_d2xx "$cc" -std=c99 -Wall -Wextra -pedantic-errors -Werror "$here/consumer/consumer.c" -o "$work/pkg-config-c" \
        "${flags[@]}" -Wl,-rpath,"$pkg_libdir"
    without_d2xx "$cxx" -std=c++11 -Wall -Wextra -pedantic-errors -Werror "$here/consumer/consumer.cpp" -o "$work/pkg-config-cpp" \
        "${flags[@]}" -Wl,-rpath,"$pkg_libdir"
    check_consumer "$work/pkg-config-c"
    check_consumer "$work/pkg-config-cpp"
}

consumers_through_find_package() {
    local build="$work/cmake-build" found
    "$cmake" -S "$here/consumer" -B "$build" -G "$generator" -DCMAKE_MAKE_PROGRAM="$make_program" \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_PREFIX_PATH="$prefix" -DVELMOR_REQUIRED_VERSION="$version" >"$work/cmake-configure.log" ||
        { cat "$work/cmake-configure.log"; fail "the consumer project does not configure"; }
    found="$(sed -n 's/^VelmorLib_DIR:PATH=//p' "$build/CMakeCache.txt")"
    [[ "$(realpath "$found")" == "$(realpath "$prefix/$libdir/cmake/VelmorLib")" ]] || fail "find_package found $found"
    without_d2xx "$cmake" --build "$build" >"$work/cmake-build.log" || { cat "$work/cmake-build.log"; fail "the consumer project does not build"; }
    check_consumer "$build/consumer_c"
    check_consumer "$build/consumer_cpp"
}

# Without D2XX the exports behave as on a bus with no unit, and velmorctl says what is missing
# and where to get it, with EX_UNAVAILABLE.
check_without_d2xx() {
    if system_has_d2xx; then
        echo "this machine's loader finds a libftd2xx.so of its own: the runs without D2XX are left out"
        return
    fi
    local output status=0
    output="$(without_d2xx "$work/pkg-config-c")" || fail "the consumer without D2XX failed: $output"
    [[ "$output" == "initialise 0
getDeviceCount 0 count 0
motorOn 1
getAbsolutePosition 1 position -1
velmorGetVersion 0 as built 1" ]] || fail "the consumer without D2XX printed:
$output"
    output="$(without_d2xx "$prefix/$bindir/velmorctl" list 2>&1)" || status=$?
    [[ $status -eq 69 ]] || fail "velmorctl list without D2XX exited $status: $output"
    local words
    for words in "FTDI's D2XX library (libftd2xx.so)" "libftd2xx.so: cannot open shared object file" \
        "FTDI's website" "copy its libftd2xx.so to /usr/local/lib and run ldconfig"; do
        grep -qF "$words" <<<"$output" || fail "velmorctl list without D2XX does not say '$words': $output"
    done
    # Commands that need no unit still work.
    without_d2xx "$prefix/$bindir/velmorctl" codes >/dev/null || fail "velmorctl codes without D2XX failed"
}

"$cmake" --install "$build_dir" --prefix "$prefix" ${config:+--config "$config"} >/dev/null
check_installed_files
check_install_rpaths
check_systemd_units
check_library_has_no_d2xx_link
check_velmorctl
check_python_module
consumers_through_pkg_config
consumers_through_find_package
check_without_d2xx
echo "installed tree, velmorctl, the Python module and consumers through pkg-config and find_package, and without D2XX: ok"
