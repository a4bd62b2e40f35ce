#!/bin/sh
# The library and its whole test suite on the platforms beyond the native
# build (g++ and libstdc++ on x86-64 Linux): clang++ with libc++, 32-bit x86
# (g++ -m32), and 64-bit Windows (a MinGW-w64 cross build whose tests run
# under Wine). Each is a lean job: a Release build of the library, the tests
# and the examples with the CMake preset of the same name, and every test
# that build registers; no benchmarks. GoogleTest is built from its sources
# for each (Debian: googletest), since the packaged one is compiled for
# libstdc++ on x86-64 only. Run from the repository root:
#   sh .ci/platforms.sh [libcxx] [x86-32] [mingw-w64]   (default: all three)
set -eu
cd "$(dirname "$0")/.."
jobs=2
step() { printf '\n==== %s ==== [%s]\n' "$*" "$(date +%T)"; }

sh .ci/install-packages.sh

# platform_job <preset> <title>: configures, builds and tests one platform
# from scratch and reports the job's time.
platform_job() {
    preset=$1
    shift
    step "$* (preset $preset)"
    started=$(date +%s)
    rm -rf "build/$preset"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
    echo "$preset: $(($(date +%s) - started)) s"
}

# Wine: a prefix of the build's own, and one wine server kept running for the
# whole test run, with Wine's services started before CTest runs anything.
# Otherwise every test pays for the server's start, and services started by
# one test's program inherit that test's output and can keep CTest waiting.
mingw_job() {
    export WINEPREFIX="$PWD/build/mingw-w64-wineprefix"
    # Debian's wine64 keeps its programs in /usr/lib/wine, outside PATH.
    wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
    wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p
    trap '"$wineserver" -k || true' EXIT
    WINEDEBUG=-all "$wine" cmd /c exit </dev/null >/dev/null 2>&1
    platform_job mingw-w64 "Windows x86-64: MinGW-w64, tests under Wine"
    "$wineserver" -k
    trap - EXIT
}

[ $# -gt 0 ] || set -- libcxx x86-32 mingw-w64
for platform in "$@"; do
    case $platform in
        libcxx) platform_job libcxx "Linux x86-64: clang++ with libc++" ;;
        x86-32) platform_job x86-32 "Linux x86 (32-bit): g++ -m32" ;;
        mingw-w64) mingw_job ;;
        *) echo "unknown platform: $platform (libcxx, x86-32 or mingw-w64)"; exit 2 ;;
    esac
done
