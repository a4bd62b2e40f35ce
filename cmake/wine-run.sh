#!/bin/sh
# Runs a Windows program under Wine: the MinGW toolchain file's emulator, with
# which CTest runs the cross-built tests.
# Usage: wine-run.sh <wine> <dll-dirs> <program> [arguments...]
#   dll-dirs  directories of the compiler's runtime DLLs, separated by ':';
#             they are appended to WINEPATH (whose own separator is ';')
# Wine's debug channels stay quiet unless WINEDEBUG is set.
set -eu
wine=$1 dirs=$2
shift 2
path=${WINEPATH:-}
old_ifs=$IFS
IFS=:
for dir in $dirs; do
    path=${path:+$path;}$dir
done
IFS=$old_ifs
WINEPATH=$path WINEDEBUG=${WINEDEBUG:--all} exec "$wine" "$@"
