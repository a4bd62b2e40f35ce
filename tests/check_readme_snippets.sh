#!/bin/sh
# Compiles every ```cpp block of README.md as a program of its own (C++11,
# strict warnings as errors), links it with the built library and runs it.
# Usage: check_readme_snippets.sh <readme> <include-dir> <libkel_std.so> <compiler> <work-dir> [extra flags]
# (extra flags: the sanitizer flags the library was built with, if any)
set -eu
readme=$1 include_dir=$2 lib=$3 cxx=$4 work=$5 extra=${6:-}
mkdir -p "$work"
rm -f "$work"/snippet_*.cc
awk -v dir="$work" '
    /^```cpp$/ { n++; file = sprintf("%s/snippet_%d.cc", dir, n); inside = 1; next }
    /^```$/ && inside { inside = 0; close(file); next }
    inside { print > file }
' "$readme"
count=0
for src in "$work"/snippet_*.cc; do
    [ -e "$src" ] || { echo "FAIL: no cpp snippets found in $readme"; exit 1; }
    bin=${src%.cc}
    # shellcheck disable=SC2086
    "$cxx" -std=c++11 -Wall -Wextra -Wpedantic -Werror $extra -I"$include_dir" "$src" "$lib" \
        -Wl,-rpath,"$(dirname "$lib")" -o "$bin"
    "$bin" > "$bin.out" || { echo "FAIL: $src exited with $?"; cat "$bin.out"; exit 1; }
    count=$((count + 1))
done
echo "OK: $count README snippets compiled and ran"
