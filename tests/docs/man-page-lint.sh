# Sourced by the manual page checks: lint_page PAGE adds to the caller's `failures` what groff,
# man and mandoc (where installed) say of the page's source.
lint_page() {
    local page=$1 warnings lint
    warnings="$(groff -man -ww -z "$page" 2>&1)" || failures+=("groff failed")
    [[ -z "$warnings" ]] || failures+=("groff warns: $warnings")
    if command -v man >/dev/null 2>&1; then
        warnings="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)" || failures+=("man -l failed: $warnings")
        [[ -z "$warnings" ]] || failures+=("man -l warns: $warnings")
    fi
    if command -v mandoc >/dev/null 2>&1; then
        lint="$(mandoc -T lint -W warning "$page" 2>&1)" || failures+=("mandoc -T lint: $lint")
    fi
    return 0
}

# The page as a reader sees it, hyphens plain.
rendered_page() {
    groff -man -Tutf8 -P-c -P-b -P-u "$1" 2>/dev/null | sed 's/\xe2\x80\x90/-/g'
}
