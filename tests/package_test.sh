#!/usr/bin/env bash
# Builds the .deb, unpacks it into a temporary root as dpkg would install it,
# and runs the installed binary and man page from there.
#   tests/package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null
deb=$(ls "$work"/out/*.deb)
dpkg-deb --field "$deb" Package | grep -qx reclookup
dpkg -x "$deb" "$work/root"

tool="$work/root/usr/bin/reclookup"
out=$("$tool" "$source/examples/records.csv" 1002 data found "not found" name city)
expected='data=found&name=Grace Hopper&city=Arlington&end=1'
[ "$out" = "$expected" ] || { echo "installed binary printed: $out" >&2; exit 1; }
status=0
"$tool" "$source/examples/records.csv" 9999 >/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "not found exited $status" >&2; exit 1; }

page="$work/root/usr/share/man/man1/reclookup.1"
[ -f "$page" ] || { echo "no man page in the package" >&2; exit 1; }
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || { echo "man page warnings: $warnings" >&2; exit 1; }
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q "EXIT STATUS"
fi
echo "package ok: $(basename "$deb")"
