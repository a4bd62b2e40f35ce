#!/bin/sh
# Instructions for one life of each container on each source of memory
# (callgrind, repeatable whatever the machine load): build from N random
# keys, erase half and refill, destroy (memory_managers_instructions), less
# the instructions that draw the keys. Ratios are to the same container on
# std::allocator and on std::pmr::unsynchronized_pool_resource.
# Usage: memory_managers_instructions.sh path/to/memory_managers_instructions [N]
set -eu
bin=$1
n=${2:-100000}
out=$(mktemp)
trap 'rm -f "$out"' EXIT

count() { # container memory -> instructions of the whole program
    valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" "$1" "$2" "$n" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

base=$(count std::map none)
printf '| container | memory | instructions (millions) | / std::allocator | / pmr_pool |\n|---|---|---:|---:|---:|\n'
for container in std::map std::unordered_map; do
    std=$(($(count "$container" std::allocator) - base))
    pool=$(($(count "$container" pmr_pool) - base))
    for memory in std::allocator pmr_pool pmr_monotonic kel_std::allocator pool_manager arena_manager; do
        ir=$(($(count "$container" "$memory") - base))
        awk -v c="$container" -v m="$memory" -v ir="$ir" -v s="$std" -v p="$pool" \
            'BEGIN { printf "| %s | %s | %.1f | %.3f | %.3f |\n", c, m, ir / 1e6, ir / s, ir / p }'
    done
done
