#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian (scripts/package-deb.sh), then installs them
# with apt into a fresh minimal Debian 12 root and uses them there (tests/deb/install-test.sh).
# Needs root and Debian's archive. Arguments go to scripts/package-deb.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh debootstrap
build_dir=${VELMOR_DEB_BUILD_DIR:-build-deb}
out_dir=$(realpath -m "${1:-$build_dir/packages}")
bash scripts/package-deb.sh "$out_dir"
bash tests/deb/install-test.sh "$out_dir" "$build_dir/lib/libftd2xx.so"
