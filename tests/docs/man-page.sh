#!/usr/bin/env bash
# velmorctl's manual page: groff formats it without a warning, and it covers what velmorctl's
# own help lists: every command, every option and every exit status.
# Arguments: the manual page's source, then the velmorctl program.
set -euo pipefail

page=$1 velmorctl=$2
failures=()
fail() { failures+=("$*"); }
# shellcheck source=man-page-lint.sh
source "$(dirname "${BASH_SOURCE[0]}")/man-page-lint.sh"

lint_page "$page"

help="$("$velmorctl" --help)"
# The page's source with its escaped hyphens plain, and the page as a reader sees it.
source="$(sed 's/\\-/-/g' "$page")"
rendered="$(rendered_page "$page")"

# Each command of the help's list ("  NAME ..." under "commands:") has an entry of its own: a
# paragraph tag that starts with its name in bold.
commands="$(sed -n '/^commands:/,/^$/p' <<<"$help" | sed -n 's/^  \([a-z][a-z0-9-]*\).*/\1/p')"
[[ -n "$commands" ]] || fail "no commands found in velmorctl --help"
for command in $commands; do
    grep -qE "^\.B[IR]? \"?$command( |\"|$)" <<<"$source" || fail "command '$command' has no entry"
done

# Every option the help names, anywhere in it, is a paragraph of OPTIONS.
options_section="$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$rendered")"
for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qE -- "^ {7}$option([ ,=]|$)" <<<"$options_section" || fail "option '$option' is not described under OPTIONS"
done

# Every exit status the help names is a paragraph of EXIT STATUS.
exit_section="$(sed -n '/^EXIT STATUS/,/^[A-Z]/p' <<<"$rendered")"
statuses="$(sed -n '/^exit status:/,/^$/p' <<<"$help" | grep -oE '\b[0-9]+\b' | sort -un)"
for status in $statuses; do
    grep -qE "^ {7}$status( |$)" <<<"$exit_section" || fail "exit status $status is not explained"
done

if [[ ${#failures[@]} -gt 0 ]]; then
    printf 'FAIL: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "manual page: formats cleanly; covers $(wc -w <<<"$commands") commands, the options and exit statuses of the help"
