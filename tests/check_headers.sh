#!/bin/sh
# Compiles every public header on its own, as the first and only include of a
# translation unit, in one language mode with strict warnings as errors, and
# the embedded gdb printers (KEL_STD_EMBED_GDB_PRINTERS) through the
# assembler. The build registers one run per compiler and mode (C++11, 14,
# 17, 20, and C++20 without exceptions and RTTI), so that CTest spreads them
# over its jobs.
# Usage: check_headers.sh <include-dir> <flags> <mode> <compiler>
#   flags  the build's own compiler flags (such as -m32 or -stdlib=libc++);
#          may be empty
#   mode   the language mode and its options, e.g. "c++20 -fno-exceptions"
set -eu
include_dir=$1 flags=$2 std=$3 cxx=$4
status=0
count=0
for header in "$include_dir"/kel_std/*.h; do
    name=kel_std/$(basename "$header")
    # shellcheck disable=SC2086 # $flags and $std carry several options
    if ! printf '#include <%s>\n' "$name" |
        "$cxx" $flags -std=$std -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wsign-conversion \
            -Wold-style-cast -Wundef -Wnon-virtual-dtor -I"$include_dir" -fsyntax-only -x c++ -; then
        echo "FAIL: $name with $cxx -std=$std"
        status=1
    fi
    count=$((count + 1))
done
# The printers that KEL_STD_EMBED_GDB_PRINTERS embeds, assembled too.
# shellcheck disable=SC2086
if ! printf '#include <kel_std/config.h>\n' |
    "$cxx" $flags -std=$std -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wsign-conversion \
        -Wold-style-cast -Wundef -Wnon-virtual-dtor -DKEL_STD_EMBED_GDB_PRINTERS -I"$include_dir" \
        -c -o /dev/null -x c++ -; then
    echo "FAIL: kel_std/config.h with KEL_STD_EMBED_GDB_PRINTERS, $cxx -std=$std"
    status=1
fi
count=$((count + 1))
[ "$status" -eq 0 ] && echo "OK: $count header compilations with $cxx -std=$std"
exit "$status"
