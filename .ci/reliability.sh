#!/bin/sh
# Reliability checks, run by .ci/run after the unit tests (from the repository
# root: sh .ci/reliability.sh):
#   1. the libFuzzer targets of fuzz/, each for a bounded time;
#   2. the concurrency test under ThreadSanitizer;
#   3. the test suite in a coverage build, with line and branch thresholds
#      for src/ and for the container and string headers;
#   4. the whole test suite under valgrind memcheck.
# Fuzz targets and memcheck runs go two at a time, one per core.
# FUZZ_SECONDS sets the time per fuzz target (default 25).
set -eu
cd "$(dirname "$0")/.."
jobs=2
fuzz_seconds=${FUZZ_SECONDS:-25}

step() { printf '\n==== %s ==== [%s]\n' "$*" "$(date +%T)"; }

# clang, libFuzzer's runtime, gcovr and valgrind.
sh .ci/install-packages.sh

step "fuzzing: tree, string, streams, hashers, ordered, hashed and sequence containers (${fuzz_seconds} s each)"
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j "$jobs"
mkdir -p build-fuzz/artifacts
rm -f build-fuzz/*.failed
# One libFuzzer process per target, $jobs of them at a time. The tree and
# container targets check whole structures after every step: short inputs.
# shellcheck disable=SC2016 # the inner script expands its own arguments
printf '%s\n' tree:512 string:4096 streams:4096 hashers:4096 ordered:1024 unordered:1024 sequence:1024 |
    xargs -P "$jobs" -I{} sh -c '
        target=${1%%:*} max_len=${1#*:} seconds=$2
        mkdir -p "build-fuzz/corpus/$target"
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            "build-fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
            "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"build-fuzz/fuzz_$target.log" 2>&1 ||
            touch "build-fuzz/fuzz_$target.failed"' sh {} "$fuzz_seconds"
for target in tree string streams hashers ordered unordered sequence; do
    log=build-fuzz/fuzz_$target.log
    if [ -e "build-fuzz/fuzz_$target.failed" ]; then
        tail -n 60 "$log"
        echo "fuzz target $target failed; the input is in build-fuzz/artifacts/"
        exit 1
    fi
    printf '%s: %s\n' "$target" "$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1)"
done

step "ThreadSanitizer: concurrent navigation, hashing, reading, errors, allocation"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEL_STD_SANITIZE=thread -DKEL_STD_BUILD_BENCH=OFF -DKEL_STD_BUILD_EXAMPLES=OFF
cmake --build build-tsan -j "$jobs" --target concurrency_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/concurrency_test

step "coverage of src/ (gcov, gcovr)"
cmake -S . -B build-cov -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=Release \
    -DKEL_STD_COVERAGE=ON -DKEL_STD_BUILD_BENCH=OFF -DKEL_STD_BUILD_EXAMPLES=OFF -DKEL_STD_TEST_HEADERS=OFF
cmake --build build-cov -j "$jobs"
find build-cov -name '*.gcda' -exec rm -f {} +
ctest --test-dir build-cov --output-on-failure -j "$jobs"
# The hashers are measured over every object built from src/hash/, including
# the static copy of the sources through which the tests reach each of the
# hashers' code paths; the other families over the shared library's own
# objects. (In a copy, functions that never ran carry no exception marks in
# gcov's output, so merging it would count exception edges that
# --exclude-throw-branches cannot recognise.)
gcovr_run="gcovr --root . --exclude-throw-branches --exclude-unreachable-branches"
$gcovr_run --filter 'src/hash/' --json build-cov/coverage-hash.json build-cov
$gcovr_run --filter 'src/' --exclude 'src/hash/' --json build-cov/coverage-library.json \
    build-cov/src/CMakeFiles/kel_std.dir
gcovr --root . --add-tracefile build-cov/coverage-hash.json --add-tracefile build-cov/coverage-library.json
gcovr --root . --add-tracefile build-cov/coverage-hash.json --add-tracefile build-cov/coverage-library.json \
    --branches --print-summary --fail-under-line 98 --fail-under-branch 95

step "coverage of the container and string headers (gcov, gcovr)"
# Template code is counted over every test binary that instantiates it.
# Branches count per instantiation, so compile-time choices (unique or equal
# keys, set or map) leave some branches of every instantiation unreachable.
# Left out: the structure verifiers, whose failure branches only a damaged
# container takes, and the gdb printers' fixture programs, which run only
# under gdb and are killed before they write their counts (their
# instantiations would all count as never run).
# The sequence containers are measured on their own: their branch coverage
# is still short of the others' (most of what never runs is the cleanup
# edge of a call that may throw, which the fault-injection rows reach for
# some operations only), and one threshold for both would let either slip.
sequence_headers='include/kel_std/(vector|deque|list|forward_list|stack|queue|detail/uninitialized|detail/node_chain|detail/adaptor_util)\.h'
# gcov runs once over the build; the reports are made from its JSON.
$gcovr_run --filter 'include/kel_std/[a-z_]+\.h' --filter 'include/kel_std/detail/[a-z_]+\.h' \
    --exclude 'include/kel_std/detail/[a-z_]+_check\.h' --exclude-directories '.*gdb_printers_fixture.*' \
    --json build-cov/coverage-headers.json build-cov
header_report="gcovr --root . --add-tracefile build-cov/coverage-headers.json"
$header_report
echo "associative containers, string, allocators:"
$header_report --exclude "$sequence_headers" --branches --print-summary --fail-under-line 97 --fail-under-branch 93.5
echo "sequence containers and adaptors:"
$header_report --filter "$sequence_headers" --branches --print-summary --fail-under-line 97 --fail-under-branch 82.5

step "valgrind memcheck: the whole test suite"
# On the test programs of the Release build (the README's; configuring and
# building it again is a no-op when .ci/run has built it already).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKEL_STD_WERROR=ON
cmake --build build -j "$jobs"
rm -f build/tests/*.memcheck.log build/tests/*.memcheck.failed
# Memcheck replaces the allocation functions of the executable as well by
# default, which would bypass the tests' own counting operator new and delete
# (tests/support/counting_heap.cc). nouserintercepts keeps them; they allocate
# with malloc and free, which memcheck still watches.
# KEL_STD_TEST_SCALE: randomized tests do a tenth of their work.
# $jobs programs at a time, the largest first.
find build/tests -maxdepth 1 -type f -perm -u+x -printf '%s %p\n' | sort -rn | cut -d' ' -f2- >build/tests/memcheck.list
[ -s build/tests/memcheck.list ] || { echo "no test binaries found for memcheck"; exit 1; }
# shellcheck disable=SC2016 # the inner script expands its own argument
xargs -P "$jobs" -I{} sh -c '
    KEL_STD_TEST_SCALE=10 valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=all \
        --errors-for-leak-kinds=all --track-origins=yes --soname-synonyms=somalloc=nouserintercepts \
        "$1" >"$1.memcheck.log" 2>&1 || touch "$1.memcheck.failed"' sh {} <build/tests/memcheck.list
binaries=0
while read -r test_binary; do
    binaries=$((binaries + 1))
    log=$test_binary.memcheck.log
    if [ -e "$test_binary.memcheck.failed" ]; then
        cat "$log"
        echo "memcheck failed on $test_binary"
        exit 1
    fi
    printf '%s: %s\n' "${test_binary##*/}" "$(grep -E '^\[  PASSED  \]' "$log")"
done <build/tests/memcheck.list
echo "memcheck: $binaries test binaries, no errors, no leaks"
