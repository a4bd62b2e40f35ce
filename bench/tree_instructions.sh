#!/bin/sh
# Instructions per library call (callgrind, repeatable whatever the machine
# load) for insert, erase, increment and decrement of each implementation, on
# the fixed workload of tree_instructions (200 rounds of 1000 insertions, a
# forward and a backward walk, and 1000 erasures).
# Usage: tree_instructions.sh path/to/tree_instructions
set -eu
bin=$1
calls_insert=200000
calls_erase=200000
calls_step=199800 # 1000 increments and 999 decrements per round
out=$(mktemp)
trap 'rm -f "$out"' EXIT

count() { # impl function-pattern -> instructions inside that function
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="$2" "$bin" "$1" >/dev/null 2>&1
    callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}
per_call() { awk -v t="$1" -v c="$2" 'BEGIN { printf "%.1f", t / c }'; }

printf '%-10s %10s %10s %10s %10s\n' impl insert erase increment decrement
# Boost.Intrusive's algorithms are templates inlined into the caller: there
# is no call whose instructions callgrind could attribute, so Boost is left out.
for impl in kel_std libstdc++; do
    case $impl in
    kel_std)
        ins='kel_std::kel_tree_aux::insert*'; era='kel_std::kel_tree_aux::erase*'
        inc='kel_std::kel_tree_aux::increment*'; dec='kel_std::kel_tree_aux::decrement*' ;;
    libstdc++)
        ins='std::_Rb_tree_insert_and_rebalance*'; era='std::_Rb_tree_rebalance_for_erase*'
        inc='std::_Rb_tree_increment*'; dec='std::_Rb_tree_decrement*' ;;
    esac
    "$bin" "$impl" >/dev/null 2>&1 || continue
    printf '%-10s %10s %10s %10s %10s\n' "$impl" \
        "$(per_call "$(count "$impl" "$ins")" $calls_insert)" "$(per_call "$(count "$impl" "$era")" $calls_erase)" \
        "$(per_call "$(count "$impl" "$inc")" $calls_step)" "$(per_call "$(count "$impl" "$dec")" $calls_step)"
done
