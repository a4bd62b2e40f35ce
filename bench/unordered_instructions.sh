#!/bin/sh
# Instructions per element operation (callgrind, repeatable whatever the
# machine load) of kel_std::unordered_map<int, int> and libstdc++'s, on the
# fixed workload of unordered_instructions: 100 rounds over 1000 random keys,
# less the setup (a run of zero rounds). The whole program is counted, so
# malloc and free are included where the operation calls them. Erasure is
# measured on a copy of the map: its count is copy_erase less copy.
# hit_string8 and hit_string32 look up keys of 8 and 32 letters, and
# hash_string8 and hash_string32 only hash them: kel_std::string keys and
# kel_std::hash in kel_std's map, std::string keys and std::hash in
# libstdc++'s.
# Usage: unordered_instructions.sh path/to/unordered_instructions
set -eu
bin=$1
rounds=100
out=$(mktemp)
trap 'rm -f "$out"' EXIT

total() { # impl op rounds -> instructions of the whole run
    valgrind --tool=callgrind --callgrind-out-file="$out" "$bin" "$1" "$2" "$3" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

printf '%-16s %10s %10s\n' operation kel_std libstdc++
for op in ${KEL_STD_INSTRUCTION_OPS:-hit miss iterate insert insert_reserved copy copy_erase hit_string8 hit_string32 \
    hash_string8 hash_string32}; do
    line=$(printf '%-16s' "$op")
    for impl in kel_std libstdc++; do
        base=$(total "$impl" "$op" 0)
        full=$(total "$impl" "$op" $rounds)
        line="$line $(awk -v a="$full" -v b="$base" -v n=$((rounds * 1000)) 'BEGIN { printf "%10.1f", (a - b) / n }')"
    done
    echo "$line"
done
