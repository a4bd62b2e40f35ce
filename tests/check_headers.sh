#!/bin/sh
# Compiles every public header on its own, as the first and only include of a
# translation unit, under C++11, 14, 17 and 20 with strict warnings as errors,
# once more under C++20 without exceptions and RTTI, and the embedded gdb
# printers (KEL_STD_EMBED_GDB_PRINTERS) through the assembler.
# Usage: check_headers.sh <include-dir> <compiler>...
set -eu
include_dir=$1
shift
status=0
count=0
for cxx in "$@"; do
    for std in c++11 c++14 c++17 c++20 "c++20 -fno-exceptions -fno-rtti"; do
        for header in "$include_dir"/kel_std/*.h; do
            name=kel_std/$(basename "$header")
            # shellcheck disable=SC2086 # $std carries the extra options
            if ! printf '#include <%s>\n' "$name" |
                "$cxx" -std=$std -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wsign-conversion \
                    -Wold-style-cast -Wundef -Wnon-virtual-dtor -I"$include_dir" -fsyntax-only -x c++ -; then
                echo "FAIL: $name with $cxx -std=$std"
                status=1
            fi
            count=$((count + 1))
        done
        # The printers that KEL_STD_EMBED_GDB_PRINTERS embeds, assembled too.
        # shellcheck disable=SC2086
        if ! printf '#include <kel_std/config.h>\n' |
            "$cxx" -std=$std -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wsign-conversion \
                -Wold-style-cast -Wundef -Wnon-virtual-dtor -DKEL_STD_EMBED_GDB_PRINTERS -I"$include_dir" \
                -c -o /dev/null -x c++ -; then
            echo "FAIL: kel_std/config.h with KEL_STD_EMBED_GDB_PRINTERS, $cxx -std=$std"
            status=1
        fi
        count=$((count + 1))
    done
done
[ "$status" -eq 0 ] && echo "OK: $count header compilations"
exit "$status"
