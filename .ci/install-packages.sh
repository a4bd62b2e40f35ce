#!/bin/sh
# Installs the Debian packages that CI needs beyond a fresh machine's
# toolchain, if any is missing. README.md names the same packages.
set -eu
packages="abigail-tools gcovr doxygen libboost-dev clang libclang-rt-14-dev valgrind pkg-config gdb
    googletest libc++-14-dev libc++abi-14-dev g++-multilib g++-mingw-w64-x86-64-posix wine64"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -n "$missing" ] || exit 0
printf '\n==== installing:%s ====\n' "$missing"
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086
$sudo_cmd apt-get install -y --no-install-recommends $missing ||
    { $sudo_cmd apt-get update && $sudo_cmd apt-get install -y --no-install-recommends $missing; }
