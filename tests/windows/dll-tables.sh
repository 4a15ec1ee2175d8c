#!/usr/bin/env bash
# VelmorLib.dll's tables: it exports exactly the names of VelmorLib.def, each under its plain
# name, and imports from ftd2xx.dll only D2XX functions of our own declarations.
# Usage: dll-tables.sh VelmorLib.dll VelmorLib.def ftd2xx.def OBJDUMP
set -euo pipefail
dll=$1 velmor_def=$2 ftdi_def=$3 objdump=$4

fail() { echo "FAIL: $*" >&2; exit 1; }
names_of_def() { sed -n '/^EXPORTS/,$p' "$1" | sed 1d | awk 'NF { print $1 }' | sort; }

exported=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[ *[0-9]*\] //p' | sort)
[[ "$exported" == "$(names_of_def "$velmor_def")" ]] ||
  fail "exports differ from VelmorLib.def:"$'\n'"$(diff <(echo "$exported") <(names_of_def "$velmor_def"))"

# The import table lists each DLL, then its functions (hint and name).
imported=$("$objdump" -p "$dll" | awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll == "ftd2xx.dll" && $1 ~ /^[0-9a-f]+$/ && NF >= 2 { print $NF }
  /^$/ && dll != "" && seen { dll = "" }
  { seen = (dll != "") }' | sort -u)
[[ -n "$imported" ]] || fail "VelmorLib.dll does not import ftd2xx.dll"
unknown=$(comm -23 <(echo "$imported") <(names_of_def "$ftdi_def"))
[[ -z "$unknown" ]] || fail "imports from ftd2xx.dll beyond our declarations: $unknown"
echo "VelmorLib.dll exports $(wc -l <<<"$exported") functions by plain name and imports $(wc -l <<<"$imported") D2XX functions from ftd2xx.dll"
