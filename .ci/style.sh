#!/bin/sh
# Formatting and static analysis: clang-format over every C++ file of the
# tree, clang-tidy over the library's sources (using the compile commands of
# the clang++ sanitizer build that .ci/run configures in build-asan).
set -eu
cd "$(dirname "$0")/.."
step() { printf '\n==== %s ==== [%s]\n' "$*" "$(date +%T)"; }

step "clang-format"
# shellcheck disable=SC2046
clang-format --dry-run --Werror $(git ls-files '*.h' '*.cc')
echo "formatting OK"

step "clang-tidy on src/"
# shellcheck disable=SC2046
clang-tidy -p build-asan --quiet $(git ls-files 'src/*.cc')
echo "clang-tidy OK"
