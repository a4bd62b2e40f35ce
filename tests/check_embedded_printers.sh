#!/bin/sh
# Checks the printers that KEL_STD_EMBED_GDB_PRINTERS embeds in a program
# built from several translation units that carry them: its
# .debug_gdb_scripts section holds exactly one copy of the script, and gdb
# (when installed; gdb reads Windows programs as well) loads the script from
# it and registers the kel_std printers for the program.
# Usage: check_embedded_printers.sh <program> <kel_std_printers.py> <objdump>
set -eu
program=$1 printers=$2 objdump=$3

# The section: the byte 4, the script's name and a newline, the text, a NUL.
name="kel_std_printers.py"
expected=$((1 + ${#name} + 1 + $(wc -c <"$printers") + 1))
size=$("$objdump" -h "$program" | awk '$2 == ".debug_gdb_scripts" { print $3 }')
[ -n "$size" ] || { echo "FAIL: $program has no .debug_gdb_scripts section"; exit 1; }
if [ "$((0x$size))" -ne "$expected" ]; then
    echo "FAIL: .debug_gdb_scripts holds $((0x$size)) bytes, one copy of the printers is $expected"
    exit 1
fi
echo "OK: one copy of the printers ($expected bytes) in .debug_gdb_scripts"

if ! command -v gdb >/dev/null 2>&1 || ! gdb -nx -batch -ex 'python print(1)' >/dev/null 2>&1; then
    echo "gdb with Python not found: the loading of the section is not checked"
    exit 0
fi
out=$(gdb -nx -batch -iex "set auto-load safe-path $program" -ex 'info auto-load python-scripts' \
    -ex 'info pretty-printer' "$program" 2>&1)
echo "$out" | grep -Eq "^Yes +$name" || { echo "$out"; echo "FAIL: gdb did not load the embedded printers"; exit 1; }
echo "$out" | awk -v name="/$(basename "$program") pretty-printers:" '
    index($0, name) && $1 == "objfile" { found = 1; next }
    found { ok = $1 == "kel_std"; exit } END { exit !ok }' ||
    { echo "$out"; echo "FAIL: the embedded printers registered nothing for $program"; exit 1; }
echo "OK: gdb loads the embedded printers and registers them for $program"
