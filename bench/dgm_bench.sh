#!/usr/bin/env bash
# zumt_dgm against GDAL on 25 XYZ tiles of 1000 × 1000 points (about 700 MB
# of text, north row first), and against a plain read of the same files.
# Installs what it needs (GDAL too) when run as root; the tiles go to a
# temporary folder under /tmp and are removed at the end.
#
#   bench/dgm_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh
ensure_packages cmake ninja-build g++ libstb-dev libboost-dev gdal-bin time

build=build/release
cmake --preset release >/dev/null
cmake --build "$build" --target zumt_bench_dgm zumt_dgm -j 2 >/dev/null
driver=$build/bench/zumt_bench_dgm
tiles=$(mktemp -d /tmp/dgm_bench.XXXXXX)
trap 'rm -rf "$tiles"' EXIT

echo "== Writing 25 tiles into $tiles"
read -r low high < <("$driver" write "$tiles")
echo "heights $low .. $high m, $(du -sm "$tiles" | cut -f1) MB"

echo "== Plain read (files in the page cache)"
"$driver" read "$tiles" >/dev/null
"$driver" read "$tiles"

echo "== zumt_dgm"
"$driver" convert "$tiles" "$tiles/ours.ter"
/usr/bin/time -f "zumt_dgm: %e s wall, peak resident %M KiB" \
    "$build/dgm/zumt_dgm" -q "$tiles"/dgm_*.xyz -o "$tiles/ours.ter"

echo "== GDAL: gdalbuildvrt + gdal_translate -of Terragen"
/usr/bin/time -f "GDAL: %e s wall, peak resident %M KiB" bash -c "
    gdalbuildvrt -q '$tiles/all.vrt' '$tiles'/dgm_*.xyz &&
    gdal_translate -q -of Terragen -co MINUSERPIXELVALUE=$low -co MAXUSERPIXELVALUE=$high \
        '$tiles/all.vrt' '$tiles/gdal.ter'"
echo "== Both terrains: size and a point"
for t in ours gdal; do
    echo "$t: $(gdalinfo "$tiles/$t.ter" | grep '^Size'), at (2500, 2500)" \
        "$(gdallocationinfo "$tiles/$t.ter" 2500 2500 | grep Descaled)"
done
