#!/bin/sh
# Compares the dynamic symbols that a built libkel_std defines with the
# checked-in baseline: mangled name (so every parameter type, const and
# static-ness counts), symbol version, type and binding. Any symbol added,
# removed or changed in either direction fails.
# The stream operators' names carry the standard library's mangling of
# std::ostream and std::istream: a library linked with libc++ is compared with
# kel_std.libc++.symbols, one linked with libstdc++ with kel_std.symbols.
# Usage: check_symbols.sh path/to/libkel_std.so [baseline]
#        check_symbols.sh --print path/to/libkel_std.so   (writes a new baseline)
set -eu
print_only=0
if [ "${1:-}" = "--print" ]; then
    print_only=1
    shift
fi
lib=$1
if [ $# -ge 2 ]; then
    baseline=$2
elif readelf -dW "$lib" | grep -q 'NEEDED.*\[libc++\.so'; then
    baseline=$(dirname "$0")/kel_std.libc++.symbols
else
    baseline=$(dirname "$0")/kel_std.symbols
fi

# Defined dynamic symbols as "name@version type", sorted. Weak and global
# bindings are not distinguished: vague-linkage objects such as vtables are
# weak with one compiler and global with another, and bind the same way.
current=$(readelf --dyn-syms -W "$lib" | awk 'NR > 3 && $7 != "UND" && $8 != "" && $4 != "SECTION" && $4 != "FILE" {
    name = $8; sub(/@@/, "@", name); print name, $4 }' | LC_ALL=C sort)

if [ "$print_only" -eq 1 ]; then
    echo "$current"
    exit 0
fi

expected=$(grep -v '^#' "$baseline" | LC_ALL=C sort)
if [ "$current" = "$expected" ]; then
    echo "OK: $(echo "$current" | wc -l) exported symbols match $baseline"
    exit 0
fi
echo "FAIL: the exported symbols of $lib differ from $baseline"
echo "(< only in the baseline, > only in the built library)"
diff_out=$(mktemp)
echo "$expected" > "$diff_out.expected"
echo "$current" > "$diff_out.current"
diff "$diff_out.expected" "$diff_out.current" | grep '^[<>]' || true
rm -f "$diff_out" "$diff_out.expected" "$diff_out.current"
exit 1
