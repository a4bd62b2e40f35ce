#!/bin/sh
# Instructions per element operation (callgrind, repeatable whatever the
# machine load) of kel_std::deque and std::deque on the fixed workload of
# deque_instructions: deques of 100,000 ints.
# Usage: deque_instructions.sh path/to/deque_instructions
set -eu
bin=$1
elements=100000
out=$(mktemp)
trap 'rm -f "$out"' EXIT

count() { # impl operation -> instructions inside measured_<operation>
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="*measured_$2<*" "$bin" "$1" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

ops="push_back push_front iterate random_access pop_front"
printf '%-24s' impl
for op in $ops; do printf ' %13s' "$op"; done
printf '\n'
for impl in kel_std libstdc++ kel_std+std::allocator; do
    printf '%-24s' "$impl"
    for op in $ops; do
        printf ' %13s' "$(awk -v t="$(count "$impl" "$op")" -v c=$elements 'BEGIN { printf "%.2f", t / c }')"
    done
    printf '\n'
done
