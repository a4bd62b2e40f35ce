#!/bin/sh
# Instructions per element operation (callgrind, repeatable whatever the
# machine load) of kel_std::map and std::map on the fixed workload of
# ordered_instructions: maps of 1000 int keys, each operation 100 times.
# Usage: ordered_instructions.sh path/to/ordered_instructions
set -eu
bin=$1
elements=100000 # 100 rounds of 1000 elements
out=$(mktemp)
trap 'rm -f "$out"' EXIT

count() { # impl operation -> instructions inside measured_<operation>
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="*measured_$2<*" "$bin" "$1" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

ops="insert find_hit find_miss iterate erase insert_sorted_hint copy destroy"
printf '%-10s' impl
for op in $ops; do printf ' %10s' "$op"; done
printf '\n'
for impl in kel_std libstdc++; do
    printf '%-10s' "$impl"
    for op in $ops; do
        printf ' %10s' "$(awk -v t="$(count "$impl" "$op")" -v c=$elements 'BEGIN { printf "%.1f", t / c }')"
    done
    printf '\n'
done
