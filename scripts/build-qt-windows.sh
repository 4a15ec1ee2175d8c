#!/usr/bin/env bash
# Builds Qt 5 Core for 64-bit Windows with MinGW-w64 from Debian's qtbase source, into a cache
# folder outside the tree, and prints that folder. A build already there for the same Qt
# version, compiler and configure flags is reused.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/windows-env.sh"

qt_flags=(-opensource -confirm-license -release -shared -xplatform win32-g++
  -device-option CROSS_COMPILE=x86_64-w64-mingw32-
  -nomake examples -nomake tests -no-compile-examples
  -no-gui -no-widgets -no-dbus -no-opengl -no-openssl -no-icu
  -no-feature-network -no-feature-sql -no-feature-xml -no-feature-testlib -no-feature-concurrent
  -qt-pcre -qt-zlib -silent)

sources_dir="$VELMOR_CACHE/qtbase-source"
mkdir -p "$sources_dir/lists/partial" "$sources_dir/sources.list.d"
apt_options=(-o APT::Sandbox::User=root -o "Dir::Etc::SourceParts=$sources_dir/sources.list.d" -o Dir::Etc::SourceList=/dev/null
  -o "Dir::State::Lists=$sources_dir/lists")

# Debian's source for the Qt that the machine's own qtbase5-dev has, from the same archive.
fetch_source() {
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
    > "$sources_dir/sources.list.d/debian-src.sources"
  apt-get "${apt_options[@]}" update -qq
  (cd "$sources_dir" && apt-get "${apt_options[@]}" source --download-only -qq qtbase-opensource-src 2>/dev/null)
}

orig=$(ls "$sources_dir"/qtbase-opensource-src_*.orig.tar.xz 2>/dev/null | head -1 || true)
if [ -z "$orig" ]; then
  fetch_source >&2
  orig=$(ls "$sources_dir"/qtbase-opensource-src_*.orig.tar.xz | head -1)
fi
qt_version=$(basename "$orig" | sed -E 's/^qtbase-opensource-src_([0-9.]+).*/\1/')
compiler_version=$(x86_64-w64-mingw32-g++ -dumpfullversion)
key=$(printf '%s\n' "$qt_version" "$compiler_version" "${qt_flags[@]}" | sha256sum | cut -c1-12)
prefix="$VELMOR_CACHE/qt-$qt_version-mingw-$compiler_version-$key"

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "$VELMOR_CACHE/qt-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "Building Qt $qt_version Core for x86_64-w64-mingw32 (about 8 minutes on 2 cores)" >&2
tar -xJf "$orig" -C "$work"
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -1)
mkdir "$work/build"
(cd "$work/build" && "$src/configure" "${qt_flags[@]}" -prefix "$prefix" >"$work/configure.log" 2>&1) ||
  { tail -40 "$work/configure.log" >&2; exit 1; }
(cd "$work/build" && make -j"$(nproc)" >"$work/make.log" 2>&1 && make install >"$work/install.log" 2>&1) ||
  { tail -40 "$work/make.log" >&2; exit 1; }
touch "$prefix/.complete"
echo "$prefix"
