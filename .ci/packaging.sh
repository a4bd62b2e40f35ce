#!/bin/sh
# ABI, packaging and portability checks: the exported symbols and the abidw
# baseline, installation, three ways of consuming the installed or in-tree
# library (find_package, pkg-config, add_subdirectory) with both compilers
# and C++11, and a version mismatch.
set -eu
cd "$(dirname "$0")/.."
jobs=2
root=$(pwd)
step() { printf '\n==== %s ==== [%s]\n' "$*" "$(date +%T)"; }

step "ABI: exported symbols and abidw baseline (g++, RelWithDebInfo)"
prefix=$root/build-abi/install
cmake -S . -B build-abi -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_STD_WERROR=ON \
    -DKEL_STD_BUILD_TESTS=OFF -DKEL_STD_BUILD_EXAMPLES=OFF -DKEL_STD_BUILD_BENCH=OFF \
    -DKEL_STD_INSTALL=ON -DCMAKE_INSTALL_PREFIX="$prefix"
cmake --build build-abi -j "$jobs"
sh abi/check_symbols.sh build-abi/src/libkel_std.so
sh abi/check_abi.sh build-abi/src/libkel_std.so
readelf -d build-abi/src/libkel_std.so | grep -q 'SONAME.*\[libkel_std\.so\.1\]' || { echo "SONAME is not libkel_std.so.1"; exit 1; }

step "install"
rm -rf "$prefix"
cmake --install build-abi
for f in include/kel_std/kel_std.h lib/libkel_std.so lib/libkel_std.so.1 lib/libkel_std.so.1.0.0 \
    lib/cmake/kel_std/kel_std-config.cmake lib/cmake/kel_std/kel_std-config-version.cmake \
    lib/pkgconfig/kel_std.pc include/kel_std/detail/gdb_printers.h share/kel_std/gdb/kel_std_printers.py \
    "share/gdb/auto-load$prefix/lib/libkel_std.so.1.0.0-gdb.py"; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done

warn="-Wall -Wextra -Wpedantic -Werror"
# consumer_cmake <build-dir> <cmake arguments...>: configures, builds and runs
# the consumer project from scratch.
consumer_cmake() {
    dir=$1
    shift
    rm -rf "$dir"
    cmake -S tests/consumer -B "$dir" -G Ninja -DCMAKE_CXX_FLAGS="$warn" "$@"
    cmake --build "$dir"
    "$dir/consumer"
}

step "consumer: find_package, g++ -std=c++11"
consumer_cmake build-consumer-gcc -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_STANDARD=11

step "gdb auto-loads the installed printers for the installed library"
# With the prefix's share/gdb/auto-load as gdb's scripts-directory, which it
# is by default for a /usr install.
auto_load=$prefix/share/gdb/auto-load
gdb -nx -batch -iex "set auto-load scripts-directory $auto_load" -iex "set auto-load safe-path $auto_load" \
    -ex 'break main' -ex run -ex 'info auto-load python-scripts' -ex kill build-consumer-gcc/consumer \
    >build-abi/gdb-auto-load.log 2>&1 || true
grep -E "^Yes +$auto_load$prefix/lib/libkel_std\.so\.1\.0\.0-gdb\.py" build-abi/gdb-auto-load.log ||
    { cat build-abi/gdb-auto-load.log; echo "gdb did not load the installed printers"; exit 1; }

step "consumer: find_package, clang++ -std=c++20 against the g++-built library"
consumer_cmake build-consumer-clang -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_STANDARD=20

step "consumer: pkg-config, clang++ -std=c++11"
mkdir -p build-consumer-pc
# shellcheck disable=SC2046
clang++ -std=c++11 $warn tests/consumer/consumer.cc \
    $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs kel_std) \
    -Wl,-rpath,"$prefix/lib" -o build-consumer-pc/consumer
build-consumer-pc/consumer

step "consumer: add_subdirectory of the source tree"
consumer_cmake build-consumer-sub -DKEL_STD_CONSUMER_MODE=subdirectory
[ ! -e build-consumer-sub/kel_std/tests ] || { echo "add_subdirectory built the library's tests"; exit 1; }

step "consumer: find_package(kel_std 2) is refused"
rm -rf build-consumer-v2
if cmake -S tests/consumer -B build-consumer-v2 -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DKEL_STD_CONSUMER_VERSION=2 > build-abi/consumer-v2.log 2>&1; then
    echo "find_package(kel_std 2) unexpectedly succeeded"; exit 1
fi
grep -q 'version: 1.0.0' build-abi/consumer-v2.log || { cat build-abi/consumer-v2.log; exit 1; }
grep -A3 'requested version' build-abi/consumer-v2.log || true
