#!/bin/sh
# Compiles every ```cpp block of README.md as a program of its own (C++11,
# strict warnings as errors), links it with the built library and runs it.
# Usage: check_readme_snippets.sh <readme> <include-dir> <library> <compiler> <work-dir> [flags [runtime [runner...]]]
#   library  what the programs link with: libkel_std.so, or a DLL's import library
#   flags    the build's own flags and the sanitizer flags the library was
#            built with, if any
#   runtime  the file the programs load at run time; a DLL is copied beside
#            them, where Windows looks for it
#   runner   the command that runs them, if not run directly (Wine)
set -eu
readme=$1 include_dir=$2 lib=$3 cxx=$4 work=$5 extra=${6:-} runtime=${7:-$3}
shift 5
[ $# -eq 0 ] || shift
[ $# -eq 0 ] || shift
mkdir -p "$work"
rm -f "$work"/snippet_*.cc
awk -v dir="$work" '
    /^```cpp$/ { n++; file = sprintf("%s/snippet_%d.cc", dir, n); inside = 1; next }
    /^```$/ && inside { inside = 0; close(file); next }
    inside { print > file }
' "$readme"
case $runtime in
    *.dll) cp "$runtime" "$work/"; rpath="" ;;
    *) rpath="-Wl,-rpath,$(dirname "$runtime")" ;;
esac
count=0
for src in "$work"/snippet_*.cc; do
    [ -e "$src" ] || { echo "FAIL: no cpp snippets found in $readme"; exit 1; }
    bin=${src%.cc}
    # shellcheck disable=SC2086
    "$cxx" -std=c++11 -Wall -Wextra -Wpedantic -Werror $extra -I"$include_dir" "$src" "$lib" $rpath -o "$bin"
    # A cross-compiled program carries a suffix (.exe) that the compiler added.
    [ -e "$bin" ] || bin=$bin.exe
    "$@" "$bin" > "$bin.out" || { echo "FAIL: $src exited with $?"; cat "$bin.out"; exit 1; }
    count=$((count + 1))
done
echo "OK: $count README snippets compiled and ran"
