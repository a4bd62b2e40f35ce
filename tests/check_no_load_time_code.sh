#!/bin/sh
# Checks that loading the shared library runs none of its own code: no static
# constructors, no IFUNC resolvers, nothing in .init_array but the toolchain's
# frame_dummy (from crtbeginS.o), and no .preinit_array or non-empty .ctors.
# Usage: check_no_load_time_code.sh path/to/libkel_std.so
set -eu
lib=$1
status=0
fail() { echo "FAIL: $*"; status=1; }

sections=$(readelf -SW "$lib")
echo "$sections" | grep -q '\.preinit_array' && fail ".preinit_array present"
ctors_size=$(echo "$sections" | awk '$2 == ".ctors" { print $6 }')
case "${ctors_size:-0}" in
    0 | 000000 | 0000000000000000 | 10 | 000010) ;; # absent, or only the -1/0 markers
    *) fail ".ctors has entries (size 0x$ctors_size)" ;;
esac

symbols=$(readelf -sW "$lib")
echo "$symbols" | awk '$4 == "IFUNC" { found = 1; print "  IFUNC symbol: " $8 } END { exit !found }' &&
    fail "IFUNC symbols present (run-time resolvers run at load time)"
echo "$symbols" | grep -E '_GLOBAL__sub_I|_GLOBAL__I_' && fail "static initialisation functions present"

# Every .init_array entry is a relative relocation whose addend is the
# function address; resolve each one against the symbol table.
range=$(echo "$sections" | awk '$2 == ".init_array" { print $4, $6 }')
if [ -n "$range" ]; then
    set -- $range
    start=$(printf '%d' "0x$1")
    size=$(printf '%d' "0x$2")
    end=$((start + size))
    targets=$(readelf -rW "$lib" | awk '$3 ~ /_RELATIVE$/ { print $1, $4 }' | while read -r off add; do
        off=$(printf '%d' "0x$off")
        if [ "$off" -ge "$start" ] && [ "$off" -lt "$end" ]; then echo "$add"; fi
    done)
    count=0
    for t in $targets; do
        count=$((count + 1))
        addr=$(printf '%016x' "0x$t")
        name=$(echo "$symbols" | awk -v a="$addr" '$2 == a && $4 == "FUNC" { print $8; exit }')
        case "$name" in
            frame_dummy) ;;
            *) fail ".init_array entry 0x$t is ${name:-an unknown function}, not the toolchain's frame_dummy" ;;
        esac
    done
    echo "init_array entries: $count"
fi
[ "$status" -eq 0 ] && echo "OK: $lib runs no code of its own when loaded"
exit "$status"
