#!/bin/sh
# Instructions per round (callgrind, repeatable whatever the machine load)
# of kel_std::vector, of kel_std::vector on a zero-filling allocator and of
# libstdc++'s std::vector, on the fixed workloads of vector_instructions
# (see its header: N = 1000 elements, or 100 insertions into 1000), less
# the setup (a run of zero rounds). The whole program is counted, so malloc
# and free are included.
# Usage: vector_instructions.sh path/to/vector_instructions
set -eu
bin=$1
rounds=20
out=$(mktemp)
trap 'rm -f "$out"' EXIT

total() { # impl op rounds -> instructions of the whole run
    valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" "$1" "$2" "$3" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

printf '%-24s %12s %14s %12s %9s %9s\n' operation kel_std kel_std_filled libstdc++ ratio filled
for op in push_back_int copy_int insert_middle_int push_back_string insert_front_string \
    push_back_kel_string insert_front_kel_string; do
    counts=""
    for impl in kel_std kel_std_filled libstdc++; do
        base=$(total "$impl" "$op" 0)
        full=$(total "$impl" "$op" $rounds)
        counts="$counts $(( (full - base) / rounds ))"
    done
    # shellcheck disable=SC2086
    set -- $counts
    awk -v op="$op" -v k="$1" -v f="$2" -v s="$3" \
        'BEGIN { printf "%-24s %12d %14d %12d %9.3f %9.3f\n", op, k, f, s, k / s, f / s }'
done
