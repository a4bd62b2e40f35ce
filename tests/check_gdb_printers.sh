#!/bin/sh
# Runs a program under gdb, stopped in kel_std_gdb_fixture_ready(), feeds gdb
# the commands of a transcript and compares what gdb prints with the
# transcript's text. Also checks that the printers were registered by the
# object file expected to bring them (the shared library through its auto-load
# file, or a program through its .debug_gdb_scripts section).
#
# Usage: check_gdb_printers.sh <transcript> <program> <safe-path> <objfile> <work-dir> [variant]
#   transcript  lines "(gdb) command", each followed by the output expected of
#               it, with $N for value history numbers; lines starting with '#'
#               are comments, except that a line "#<variant>: text" gives the
#               text expected in place of the next line for that variant of
#               the target (such as 32-bit)
#   safe-path   gdb's auto-load safe-path for the run: only what lies under it
#               may load printers
#   objfile     the file name of the object file that must register them
# Exits 77 (skipped) when gdb, or gdb's Python, is missing.
set -eu
transcript=$1 program=$2 safe_path=$3 objfile=$4 work=$5 variant=${6:-}
gdb=${GDB:-gdb}

if ! command -v "$gdb" >/dev/null 2>&1; then
    echo "SKIPPED: gdb not found; install it (Debian: apt-get install gdb) to test the pretty printers"
    exit 77
fi
if ! "$gdb" -nx -batch -ex 'python print(1)' >/dev/null 2>&1; then
    echo "SKIPPED: $gdb has no Python support, which the pretty printers need"
    exit 77
fi

mkdir -p "$work"
# gdb's echo reads backslash escapes: the commands of the transcript are
# echoed with their backslashes doubled.
{
    printf '%s\n' 'set pagination off' 'set width 0' 'set height 0' 'set confirm off' 'set print pretty off' \
        'break kel_std_gdb_fixture_ready' 'run' 'info pretty-printer' 'echo @@begin\n'
    sed -n 's/^(gdb) //p' "$transcript" | while IFS= read -r command; do
        printf 'echo (gdb) %s\\n\n%s\n' "$(printf '%s' "$command" | sed 's/\\/\\\\/g')" "$command"
    done
    printf '%s\n' 'echo @@end\n' 'kill'
} >"$work/commands.gdb"
awk -v tag="#$variant: " '
    variant != "" && index($0, tag) == 1 { replacement = substr($0, length(tag) + 1); replace = 1; next }
    /^#/ { next }
    replace { print replacement; replace = 0; next }
    { print }' variant="$variant" "$transcript" >"$work/expected.txt"

status=0
"$gdb" -nx -batch -iex "set auto-load safe-path $safe_path" -x "$work/commands.gdb" "$program" \
    >"$work/stdout.txt" 2>"$work/stderr.txt" || status=$?
# Value history numbers ($1, $2...) are left out: the transcript says $N.
# shellcheck disable=SC2016
sed -n '/^@@begin$/,/^@@end$/p' "$work/stdout.txt" | sed '1d;$d' | sed 's/^\$[0-9][0-9]* = /$N = /' \
    >"$work/actual.txt"

fail() {
    echo "FAIL: $*"
    echo "---- gdb's standard error ($work/stderr.txt):"
    cat "$work/stderr.txt"
    exit 1
}

# The printers' registration, as 'info pretty-printer' lists it:
#   objfile /path/to/<objfile> pretty-printers:
#     kel_std
registered=$(awk -v name="/$objfile pretty-printers:" '
    index($0, name) && $1 == "objfile" { found = 1; next }
    found { print $1; exit }' "$work/stdout.txt")
[ "$registered" = kel_std ] || fail "no kel_std printers registered by $objfile (see $work/stdout.txt)"

if ! diff -u "$work/expected.txt" "$work/actual.txt"; then
    fail "gdb's output differs from $transcript (- expected, + actual)"
fi
if grep -n 'Python Exception\|Traceback\|Error occurred in Python' "$work/stderr.txt"; then
    fail "a printer raised an exception"
fi
[ "$status" -eq 0 ] || fail "gdb exited with status $status"
echo "OK: $(grep -c '^(gdb) ' "$work/expected.txt") gdb commands gave the expected output ($program)"
