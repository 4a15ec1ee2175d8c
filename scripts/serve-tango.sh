#!/usr/bin/env bash
# Serves every unit attached to the build tree's emulator (its default bench, kept between
# processes) as the Tango device velmor/motor/N on PORT, without a Tango database, until stopped.
# Clients reach a unit as tango://HOST:PORT/velmor/motor/N#dbase=no.
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:?usage: scripts/serve-tango.sh PORT}
build=${VELMOR_BUILD_DIR:-build}
library=$(ls "$build"/src/libVelmorLib.so 2>/dev/null || true)
[ -n "$library" ] || { echo "serve-tango.sh: no $build/src/libVelmorLib.so: build first (scripts/build.sh)" >&2; exit 1; }
/usr/bin/python3 -c 'import tango' 2>/dev/null \
  || { echo "serve-tango.sh: PyTango is missing (Debian package python3-tango)" >&2; exit 1; }
export VELMORLIB_LIBRARY=$PWD/$library
exec /usr/bin/python3 tango/VelmorTango velmor -nodb -ORBendPoint "giop:tcp::$port"
