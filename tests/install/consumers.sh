#!/usr/bin/env bash
# Installs the build into a fresh prefix and uses it as a program outside the project would:
# checks what was installed, builds a C and a C++ program against it through pkg-config and
# through find_package(VelmorLib), and runs them, the installed velmorctl and the installed Python
# module on the emulator.
# Arguments: KEY=VALUE settings, see tests/install/CMakeLists.txt.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }

for setting in "$@"; do
    case "${setting%%=*}" in
        build_dir|config|emulator_lib_dir|version|bindir|includedir|libdir|udev_rules_dir|cc|cxx|cmake|generator|make_program|applications|man_page|python_dir|python_source|python)
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

# Runs a program on the emulator's libftd2xx.so from the build tree, with the bench above.
on_emulator() {
    env LD_LIBRARY_PATH="$emulator_lib_dir" VELMOR_EMULATOR_BENCH="$bench" VELMOR_EMULATOR_STATE=off "$@"
}

# The linker, too, must find a libftd2xx.so for libVelmorLib.so's needs, as it finds FTDI's in
# the loader's folders on a machine with units.
with_d2xx_found() {
    env LD_LIBRARY_PATH="$emulator_lib_dir" "$@"
}

# The file a program loads for a library, as the loader resolves it on the emulator.
resolved() {
    local program=$1 library=$2 path
    path="$(on_emulator ldd "$program" | awk -v library="$library" '$1 == library { print $3 }')"
    [[ -n "$path" && "$path" != "not" ]] || fail "$program: $library not found"
    realpath "$path"
}

check_loads_installed_library_and_emulator() {
    local program=$1
    [[ "$(resolved "$program" "libVelmorLib.so.$major")" == "$(realpath "$prefix/$libdir/libVelmorLib.so.$major")" ]] ||
        fail "$program does not load the installed libVelmorLib.so.$major"
    [[ "$(resolved "$program" libftd2xx.so)" == "$(realpath "$emulator_lib_dir/libftd2xx.so")" ]] ||
        fail "$program does not load the emulator's libftd2xx.so"
}

runpath() {
    readelf -d "$1" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p'
}

check_installed_files() {
    local package_dir="$libdir/cmake/VelmorLib" file
    local required=(
        "$includedir/VelmorLib.h"
        "$includedir/VelmorLibExtras.h"
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
    required+=("$man_page" "$python_dir/velmorlib-$version.dist-info/METADATA")
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

check_velmorctl() {
    local output
    output="$(on_emulator "$prefix/$bindir/velmorctl" list)" || fail "installed velmorctl list failed: $output"
    grep -q JXah00102 <<<"$output" && grep -q JXbh01001 <<<"$output" || fail "installed velmorctl list: $output"
    check_loads_installed_library_and_emulator "$prefix/$bindir/velmorctl"
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
    with_d2xx_found "$cc" -std=c99 -Wall -Wextra -pedantic-errors -Werror "$here/consumer/consumer.c" -o "$work/pkg-config-c" \
        "${flags[@]}" -Wl,-rpath,"$pkg_libdir"
    with_d2xx_found "$cxx" -std=c++11 -Wall -Wextra -pedantic-errors -Werror "$here/consumer/consumer.cpp" -o "$work/pkg-config-cpp" \
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
    with_d2xx_found "$cmake" --build "$build" >"$work/cmake-build.log" || { cat "$work/cmake-build.log"; fail "the consumer project does not build"; }
    check_consumer "$build/consumer_c"
    check_consumer "$build/consumer_cpp"
}

"$cmake" --install "$build_dir" --prefix "$prefix" ${config:+--config "$config"} >/dev/null
check_installed_files
check_install_rpaths
check_velmorctl
check_python_module
consumers_through_pkg_config
consumers_through_find_package
echo "installed tree, velmorctl, the Python module and consumers through pkg-config and find_package: ok"
