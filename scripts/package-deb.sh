#!/usr/bin/env bash
# Builds the Debian packages (libvelmorlib0, libvelmorlib-dev, velmorctl, python3-velmorlib,
# velmord, velmor-center where Qt Widgets is installed) in a Release build folder of their own
# and checks them with lintian, which must report no error.
# Usage: package-deb.sh [OUTPUT_FOLDER]   (default: build-deb/packages; its .deb files are replaced)
# VELMOR_DEB_BUILD_DIR names the build folder (default: build-deb); further cmake arguments come
# from VELMOR_DEB_CMAKE_ARGS (ccache, say).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELMOR_DEB_BUILD_DIR:-build-deb}
out_dir=$(realpath -m "${1:-$build_dir/packages}")

# dpkg-shlibdeps (dpkg-dev) and file: the packages' dependencies; lintian: the check.
bash scripts/install-deps.sh lintian dpkg-dev file

# Debian's build flags (hardening, optimisation) and a changelog date that depends only on the
# sources.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CFLAGS=$(dpkg-buildflags --get CFLAGS) CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
CXXFLAGS=$(dpkg-buildflags --get CXXFLAGS) LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS" LDFLAGS

read -ra extra_args <<<"${VELMOR_DEB_CMAKE_ARGS:-}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVELMOR_INSTALL_RPATH=OFF -DVELMOR_DEBIAN_PACKAGES=ON -DVELMOR_BUILD_TESTS=OFF \
    "${extra_args[@]}" >/dev/null
ninja -C "$build_dir" -j"$(nproc)" >/dev/null

# Only what an earlier run put there goes: the folder may hold other files.
mkdir -p "$out_dir"
rm -rf "$out_dir"/*.deb "$out_dir/cpack" "$out_dir/cpack.log"
(cd "$build_dir" && cpack -G DEB -B "$out_dir/cpack" >"$out_dir/cpack.log") ||
    { cat "$out_dir/cpack.log"; echo "package-deb: cpack failed" >&2; exit 1; }
mv "$out_dir"/cpack/*.deb "$out_dir"/
rm -rf "$out_dir/cpack"

for deb in "$out_dir"/*.deb; do
    echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done
# Tags we accept, each with its reason, in packaging/debian/lintian-suppressed.
suppressed=$(sed '/^#/d' packaging/debian/lintian-suppressed | cut -d' ' -f1 | paste -sd, -)
lintian --fail-on error --suppress-tags "$suppressed" "$out_dir"/*.deb
echo "package-deb: $(cd "$out_dir" && ls ./*.deb | wc -l) packages in $out_dir, lintian reports no error"
