#!/bin/sh
# Compares the names that a built kel_std DLL exports with the checked-in
# baseline; any name added or removed fails. The DLL exports what carries
# KEL_STD_API (the exported surface, and the vtables and type information of
# the error classes) and nothing of the library's internals.
# Usage: check_dll_exports.sh path/to/libkel_std.dll [objdump [baseline]]
#        check_dll_exports.sh --print path/to/libkel_std.dll [objdump]   (writes a new baseline)
#   objdump  an objdump that reads PE files (default: x86_64-w64-mingw32-objdump)
set -eu
print_only=0
if [ "${1:-}" = "--print" ]; then
    print_only=1
    shift
fi
dll=$1
objdump=${2:-x86_64-w64-mingw32-objdump}
baseline=${3:-$(dirname "$0")/kel_std.dll.symbols}

# objdump -p lists the export table's names as "[ordinal] name" lines under
# the heading "[Ordinal/Name Pointer] Table".
current=$("$objdump" -p "$dll" | awk '
    /\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
    inside && NF == 0 { inside = 0 }
    inside { print $NF }' | LC_ALL=C sort)
[ -n "$current" ] || { echo "FAIL: no export table found in $dll"; exit 1; }

if [ "$print_only" -eq 1 ]; then
    echo "$current"
    exit 0
fi

expected=$(grep -v '^#' "$baseline" | LC_ALL=C sort)
if [ "$current" = "$expected" ]; then
    echo "OK: $(echo "$current" | wc -l) exported names match $baseline"
    exit 0
fi
echo "FAIL: the exports of $dll differ from $baseline"
echo "(< only in the baseline, > only in the built DLL)"
work=$(mktemp -d)
echo "$expected" >"$work/expected"
echo "$current" >"$work/current"
diff "$work/expected" "$work/current" | grep '^[<>]' || true
rm -rf "$work"
exit 1
