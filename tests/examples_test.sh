#!/usr/bin/env bash
# Runs the caller examples of the README as a caller would:
#   tests/examples_test.sh sh RECLOOKUP     examples/lookup.sh, natively
#   tests/examples_test.sh bat RECLOOKUP.EXE examples/lookup.bat, under Wine's cmd
set -euo pipefail
kind=$1
tool=$2
examples=$(cd "$(dirname "$0")/../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEDEBUG=-all

run() { # dir id -> prints "output|status"
    local status=0 out
    if [ "$kind" = sh ]; then
        out=$("$1/lookup.sh" "$2" "$tool" 2>&1) || status=$?
    else
        wine cmd /c "$(winepath -w "$1/lookup.bat")" "$2" "$(winepath -w "$tool")" \
            >"$work/out" 2>&1 || status=$?
        out=$(tr -d '\r' <"$work/out")
    fi
    printf '%s|%s' "$out" "$status"
}

expect() { # dir id expected
    local got
    got=$(run "$1" "$2")
    [ "$got" = "$3" ] || { echo "lookup $2: got [$got], expected [$3]" >&2; exit 1; }
}

expect "$examples" 1002 "1002: Grace Hopper, Arlington|0"
expect "$examples" 1001 "1001: Ada Lovelace, London|0"
expect "$examples" 9 "9: no such record|1"
# Without its record file beside it, the script reports the open error.
cp "$examples/lookup.$kind" "$work/"
if [ "$kind" = sh ]; then
    expect "$work" 1002 "cannot open $work/records.csv|2"
else
    expect "$work" 1002 "cannot open records.csv|2"
fi
echo "examples ok ($kind)"
