#!/bin/sh
# Instructions for one life of each container on each source of memory
# (callgrind, repeatable whatever the machine load): build from N random
# keys, erase half and refill, destroy (memory_managers_instructions), less
# the instructions that draw the keys; and those of the destruction alone
# (the container, then its memory resource: the inclusive count of
# destroy_phase). Ratios of a life are to the same container on
# std::allocator and on std::pmr::unsynchronized_pool_resource, and to the
# standard container of the same kind on std::allocator; the destruction's
# to the latter.
# Usage: memory_managers_instructions.sh path/to/memory_managers_instructions [N]
set -eu
bin=$1
n=${2:-100000}
out=$(mktemp)
trap 'rm -f "$out"' EXIT

# container memory -> "instructions of the whole program" "of destroy_phase"
count() {
    valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" "$1" "$2" "$n" >/dev/null 2>&1
    total=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }')
    destroy=$(callgrind_annotate --inclusive=yes --threshold=100 "$out" 2>/dev/null |
        awk '/destroy_phase/ { gsub(",", "", $1); print $1; exit }')
    echo "$total ${destroy:-0}"
}

life() { echo $(($1 - base)); }

base=$(count std::map none | cut -d' ' -f1)
printf '| container | memory | life (millions) | / std::allocator | / pmr_pool | / std:: on std::allocator | destroy (thousands) | destroy / std:: on std::allocator |\n'
printf '|---|---|---:|---:|---:|---:|---:|---:|\n'
for container in std::map std::unordered_map kel_std::map kel_std::unordered_map; do
    peer=std::${container#*::}
    set -- $(count "$peer" std::allocator)
    peer_life=$(life "$1")
    peer_destroy=$2
    set -- $(count "$container" std::allocator)
    std=$(life "$1")
    set -- $(count "$container" pmr_pool)
    pool=$(life "$1")
    for memory in std::allocator pmr_pool pmr_monotonic kel_std::allocator pool_manager arena_manager; do
        set -- $(count "$container" "$memory")
        awk -v c="$container" -v m="$memory" -v ir="$(life "$1")" -v s="$std" -v p="$pool" -v q="$peer_life" \
            -v d="$2" -v qd="$peer_destroy" \
            'BEGIN { printf "| %s | %s | %.1f | %.3f | %.3f | %.3f | %.1f | %.4f |\n", c, m, ir / 1e6, ir / s, ir / p, ir / q, d / 1e3, d / qd }'
    done
done
