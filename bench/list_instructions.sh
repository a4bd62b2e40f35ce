#!/bin/sh
# Instructions per element operation (callgrind, repeatable whatever the
# machine load) of kel_std::list and kel_std::forward_list beside libstdc++'s,
# on the fixed workload of `list_bench --instructions`: lists of 1000 int
# elements, each operation 100 times (sort twice: random, then sorted input).
# Usage: list_instructions.sh path/to/list_bench
set -eu
bin=$1
elements=100000 # 100 rounds of 1000 elements
out=$(mktemp)
trap 'rm -f "$out"' EXIT

count() { # kind impl operation -> instructions inside measured_<operation>
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="*measured_$3<*" \
        "$bin" --instructions "$1" "$2" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

ops="push iterate sort splice erase_every_other pop_front"
for kind in list forward_list; do
    printf '%-24s' "$kind"
    for op in $ops; do printf ' %10s' "$op"; done
    printf '\n'
    for impl in kel_std libstdc++; do
        printf '%-24s' "  $impl"
        for op in $ops; do
            printf ' %10s' "$(awk -v t="$(count "$kind" "$impl" "$op")" -v c=$elements 'BEGIN { printf "%.1f", t / c }')"
        done
        printf '\n'
    done
done
