#!/usr/bin/env bash
# The committed case run by the program itself: the layout, its settings and
# "hoehen.ini" of tests/data/hoehen and the terrain tests/data/gdal_5x3_2m.ter
# are copied into a fresh folder, the program fits the layout to the terrain,
# and the written layout must equal tests/data/hoehen/Gelaende_erwartet.anl
# byte for byte. The native build and the Windows build (under Wine) compare
# with the same file, so the two write the same bytes.
#
# Usage: committed_case.sh DATA_FOLDER PROGRAM...   (e.g. "wine zumt_hoehen.exe")
set -u
data=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/anlagen/terrain"
cp "$data/hoehen/Gelaende.anl" "$data/hoehen/Gelaende.danl" "$data/hoehen/hoehen.ini" "$dir/anlagen/"
cp "$data/gdal_5x3_2m.ter" "$dir/anlagen/terrain/gelaende.ter"
chmod u+w "$dir/anlagen/"*
cd "$dir"
# The backslash is the folder separator on both systems; the program changes
# into "anlagen" and finds the terrain and "hoehen.ini" there.
timeout 120 "$@" 'anlagen\Gelaende.anl' >"$dir/out.txt" 2>&1
rc=$?
if [ "$rc" -ne 0 ]; then
    echo "FAIL: exit code $rc"
    cat "$dir/out.txt"
    exit 1
fi
if ! cmp "$dir/anlagen/Gelaende.anl" "$data/hoehen/Gelaende_erwartet.anl"; then
    echo "FAIL: the written layout differs from the expected one"
    exit 1
fi
left=$(cd "$dir/anlagen" && ls -A | sort | tr '\n' ' ')
if [ "$left" != "Gelaende.anl Gelaende.danl hoehen.ini terrain " ]; then
    echo "FAIL: unexpected files in the layout folder: $left"
    exit 1
fi
echo "the written layout equals the expected one, byte for byte"
