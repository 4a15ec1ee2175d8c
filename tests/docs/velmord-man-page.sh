#!/usr/bin/env bash
# velmord's manual page: groff formats it without a warning, and it says what velmord does:
# every option of velmord's help, the exit statuses velmord gives for a bad option and for a
# socket it cannot listen on (run here: neither starts serving), and the sockets it listens on
# by default.
# Arguments: the manual page's source, then the velmord program.
set -euo pipefail

page=$1 velmord=$2
failures=()
fail() { failures+=("$*"); }
# shellcheck source=man-page-lint.sh
source "$(dirname "${BASH_SOURCE[0]}")/man-page-lint.sh"

lint_page "$page"
rendered="$(rendered_page "$page")"
section() { sed -n "/^$1\$/,/^[A-Z]/p" <<<"$rendered"; }

help="$("$velmord" --help)"
options="$(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u)"
[[ -n "$options" ]] || fail "no options found in velmord --help"
for option in $options; do
    grep -qE -- "^ {7}$option([ ,=]|$)" <<<"$(section OPTIONS)" || fail "option '$option' is not described under OPTIONS"
done

# Every place the help names for the socket (a path ending in .sock) is a paragraph of FILES.
for place in $(grep -oE '[$/][A-Za-z_/]*velmord\.sock' <<<"$help" | sort -u); do
    grep -qE "^ {7}$(sed 's/[$]/[$]/g' <<<"$place")( |$)" <<<"$(section FILES)" || fail "socket '$place' is not under FILES"
done

explained() {    # STATUS WHAT
    grep -qE "^ {7}$1( |$)" <<<"$(section 'EXIT STATUS')" || fail "exit status $1 ($2) is not explained"
}
explained 0 "stopped"
status=0
"$velmord" --no-such-option >/dev/null 2>&1 || status=$?
explained "$status" "an unknown option"
work="$(mktemp -d "${TMPDIR:-/tmp}/velmord-man.XXXXXX")"
trap 'rm -rf "$work"' EXIT
status=0
timeout 30 "$velmord" --socket "$work/missing/velmord.sock" >/dev/null 2>&1 || status=$?
[[ $status -ne 124 ]] || fail "velmord listened on a socket in a folder that is not there"
explained "$status" "a socket it cannot listen on"

if [[ ${#failures[@]} -gt 0 ]]; then
    printf 'FAIL: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "velmord's manual page: formats cleanly; covers the options of the help, its exit statuses and its sockets"
