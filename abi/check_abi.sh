#!/bin/sh
# Compares the ABI of a built libkel_std (with debug information) with the
# checked-in abidw baseline: abidiff for every exported function and the types
# it reaches (node, allocator, string, hashers), plus the size and member
# offsets of every kel_std class in the debug information, which also covers
# the error classes that cross the boundary only as thrown objects.
# Usage: check_abi.sh path/to/libkel_std.so [baseline.abi]
#        check_abi.sh --print path/to/libkel_std.so   (writes a new baseline)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
print_only=0
if [ "${1:-}" = "--print" ]; then
    print_only=1
    shift
fi
lib=$1
baseline=${2:-$here/kel_std.abi}

dump() {
    abidw --no-corpus-path --no-comp-dir-path --short-locs --load-all-types \
        --headers-dir "$here/../include/kel_std" "$1"
}

# "class size" and "  member offset" lines for each class declared directly in
# the kel_std namespace (not in its nested and anonymous namespaces, which
# hold the library's internals), from an abidw dump.
layout() {
    awk '
        /<namespace-decl name=.kel_std.>/ { depth = 1; next }
        depth > 0 && /<namespace-decl / { depth++ }
        depth > 0 && /<\/namespace-decl>/ { depth--; next }
        depth == 1 && /<class-decl name=/ && /size-in-bits=/ {
            match($0, /name=.[^'\'']*/); cls = substr($0, RSTART + 6, RLENGTH - 6)
            gsub(/&lt;/, "<", cls); gsub(/&gt;/, ">", cls)
            match($0, /size-in-bits=.[0-9]*/); print "class " cls " " substr($0, RSTART + 14, RLENGTH - 14)
        }
        depth == 1 && /<data-member / {
            match($0, /layout-offset-in-bits=.[0-9]*/); offset = substr($0, RSTART + 23, RLENGTH - 23); want = 1; next
        }
        want && /<var-decl name=/ {
            match($0, /name=.[^'\'']*/); print "  " cls "::" substr($0, RSTART + 6, RLENGTH - 6) " " offset; want = 0
        }
    ' "$1"
}

current=$(mktemp)
trap 'rm -f "$current" "$current.layout" "$current.base"' EXIT
dump "$lib" > "$current"
if [ "$print_only" -eq 1 ]; then
    cat "$current"
    exit 0
fi

status=0
if ! abidiff "$baseline" "$current"; then
    echo "FAIL: abidiff reports an ABI change against $baseline"
    status=1
fi
layout "$baseline" > "$current.base"
layout "$current" > "$current.layout"
if [ ! -s "$current.base" ]; then
    echo "FAIL: no kel_std class layouts found in $baseline"
    status=1
elif ! diff "$current.base" "$current.layout"; then
    echo "FAIL: a kel_std class layout changed (< baseline, > built library)"
    status=1
fi
if [ "$status" -eq 0 ]; then
    echo "OK: ABI of $lib matches $baseline ($(grep -c '^class' "$current.base") class layouts)"
fi
exit "$status"
