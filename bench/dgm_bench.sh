#!/usr/bin/env bash
# zumt_dgm against GDAL on 25 XYZ tiles of 1000 × 1000 points (about 700 MB
# of text, north row first) and on 4 of them, and against a plain read of the
# same files; the same 25 tiles as one zip and as 25 ".xyz.gz" against them
# unpacked (goal: within twice the time), and where the time of 4 tiles goes
# when read on one core (the steps that stay serial).
# Installs what it needs (GDAL too) when run as root; the tiles go to a
# temporary folder under /tmp and are removed at the end.
#
#   bench/dgm_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh
ensure_packages cmake ninja-build g++ libstb-dev libboost-dev gdal-bin time python3 gzip

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

# Runs a command, prints its wall time and peak memory under the label and
# keeps the seconds in $tiles/<key>.s.
timed() { # key label command...
    local key=$1 label=$2
    shift 2
    /usr/bin/time -f "%e %M %U %S" -o "$tiles/$key.time" "$@"
    read -r secs kib user sys <"$tiles/$key.time"
    echo "$secs" >"$tiles/$key.s"
    # The processor time tells the work apart from the wait on a busy machine.
    echo "$label: $secs s wall ($user s user, $sys s system), peak resident $kib KiB"
}
ratio() { awk -v a="$(cat "$tiles/$1.s")" -v b="$(cat "$tiles/$2.s")" 'BEGIN { printf "%.1f", a / b }'; }
gdal() { # key vrt tiles...
    local key=$1 vrt=$2
    shift 2
    timed "$key" "GDAL ($# tiles)" bash -c "gdalbuildvrt -q '$vrt' $* &&
        gdal_translate -q -of Terragen -co MINUSERPIXELVALUE=$low \
            -co MAXUSERPIXELVALUE=$high '$vrt' '${vrt%.vrt}.ter'"
}

echo "== GDAL: gdalbuildvrt + gdal_translate -of Terragen"
gdal gdal25 "$tiles/gdal.vrt" "$tiles"/dgm_*.xyz
timed ours25 "zumt_dgm (25 tiles)" "$build/dgm/zumt_dgm" -q "$tiles"/dgm_*.xyz -o "$tiles/ours.ter"
echo "zumt_dgm is $(ratio gdal25 ours25) times faster than GDAL on 25 tiles"
four=("$tiles"/dgm_0_0.xyz "$tiles"/dgm_1_0.xyz "$tiles"/dgm_0_1.xyz "$tiles"/dgm_1_1.xyz)
gdal gdal4 "$tiles/gdal4.vrt" "${four[@]}"
timed ours4 "zumt_dgm (4 tiles)" "$build/dgm/zumt_dgm" -q "${four[@]}" -o "$tiles/ours4.ter"
echo "zumt_dgm is $(ratio gdal4 ours4) times faster than GDAL on 4 tiles"
echo "== The steps of 4 tiles on one core"
"$driver" stages "$tiles" 4

echo "== Packed: the 25 tiles as one zip and as 25 .xyz.gz (deflate level 6)"
mkdir "$tiles/gz"
python3 - "$tiles" <<'PY'
import glob, os, sys, zipfile
tiles = sys.argv[1]
with zipfile.ZipFile(os.path.join(tiles, "dgm.zip"), "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for f in sorted(glob.glob(os.path.join(tiles, "dgm_*.xyz"))):
        z.write(f, "kacheln/" + os.path.basename(f))
PY
ls "$tiles"/dgm_*.xyz | xargs -P 2 -I{} sh -c 'gzip -6 -c "{}" >"$(dirname "{}")/gz/$(basename "{}").gz"'
echo "zip $(du -m "$tiles/dgm.zip" | cut -f1) MB, gz $(du -sm "$tiles/gz" | cut -f1) MB"
timed zip "zumt_dgm (one zip)" "$build/dgm/zumt_dgm" -q "$tiles/dgm.zip" -o "$tiles/zip.ter"
timed gz "zumt_dgm (25 .xyz.gz)" "$build/dgm/zumt_dgm" -q "$tiles"/gz/dgm_*.xyz.gz -o "$tiles/gz.ter"
echo "against unpacked: zip $(ratio zip ours25) x, gz $(ratio gz ours25) x (goal: at most 2)"
cmp "$tiles/ours.ter" "$tiles/zip.ter" && cmp "$tiles/ours.ter" "$tiles/gz.ter" &&
    echo "the three terrains are byte-identical"
echo "== Both terrains: size and a point"
for t in ours gdal; do
    echo "$t: $(gdalinfo "$tiles/$t.ter" | grep '^Size'), at (2500, 2500)" \
        "$(gdallocationinfo "$tiles/$t.ter" 2500 2500 | grep Descaled)"
done
