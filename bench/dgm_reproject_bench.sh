#!/usr/bin/env bash
# zumt_dgm carrying a 2000 × 2000 DEM (1 m, Float32 GeoTIFF) from UTM zone 33
# onto a zone-32 grid (--ziel EPSG:25832), against the same DEM read without
# reprojection and against gdalwarp (bilinear, 1 m, GeoTIFF out), in one run
# on the same machine. Goal: within three times the plain read, faster than
# gdalwarp. Installs what it needs (GDAL too) when run as root; the files go
# to a temporary folder under /tmp and are removed at the end.
#
#   bench/dgm_reproject_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh
ensure_packages cmake ninja-build g++ libstb-dev libboost-dev gdal-bin time python3

build=build/release
cmake --preset release >/dev/null
cmake --build "$build" --target zumt_dgm -j 2 >/dev/null
work=$(mktemp -d /tmp/dgm_reproject_bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== Writing a 2000 x 2000 DEM in EPSG:25833 into $work"
python3 - "$work" <<'PY'
import array, math, sys
work = sys.argv[1]
n = 2000
values = array.array("f")
for r in range(n):
    values.extend(400 + 80 * math.sin(c / 700) * math.cos(r / 900) + 15 * math.sin((c + r) / 90)
                  for c in range(n))
values.tofile(open(work + "/dem.raw", "wb"))
open(work + "/dem.vrt", "w").write(
    '<VRTDataset rasterXSize="%d" rasterYSize="%d"><SRS>EPSG:25833</SRS>'
    '<GeoTransform>300000, 1, 0, 5545000, 0, -1</GeoTransform>'
    '<VRTRasterBand dataType="Float32" band="1" subClass="VRTRawRasterBand">'
    '<SourceFilename relativeToVRT="1">dem.raw</SourceFilename><ImageOffset>0</ImageOffset>'
    '<PixelOffset>4</PixelOffset><LineOffset>%d</LineOffset><ByteOrder>LSB</ByteOrder>'
    '</VRTRasterBand></VRTDataset>' % (n, n, 4 * n))
PY
gdal_translate -q "$work/dem.vrt" "$work/dem33.tif"
cat "$work/dem33.tif" >/dev/null # into the page cache

# Each run five times in turn; the least wall and CPU time of each (the
# machine is shared, the least is the least disturbed).
run() { # label, command...
    local label=$1
    shift
    /usr/bin/time -a -o "$work/$label.times" -f "%e %U %S %M" "$@" >/dev/null 2>&1
}
for k in 1 2 3 4 5; do
    run plain "$build/dgm/zumt_dgm" -q "$work/dem33.tif" -o "$work/plain.ter"
    run warped "$build/dgm/zumt_dgm" -q --ziel EPSG:25832 "$work/dem33.tif" -o "$work/warped.ter"
    run gdalwarp gdalwarp -q -overwrite -t_srs EPSG:25832 -tr 1 1 -r bilinear \
        "$work/dem33.tif" "$work/gdal.tif"
done
for label in plain warped gdalwarp; do
    awk -v l="$label" '{ c = $2 + $3; if (NR == 1 || $1 < w) w = $1; if (NR == 1 || c < u) u = c; m = $4 }
        END { printf "%-9s least %.2f s wall, %.2f s CPU, peak resident %d KiB\n", l, w, u, m }' \
        "$work/$label.times"
done
echo "(plain: zumt_dgm keeping zone 33; warped: zumt_dgm --ziel EPSG:25832;"
echo " gdalwarp: bilinear onto 1 m in EPSG:25832, GeoTIFF out, no hole filling)"
echo "== Both warped grids: size"
for f in warped.ter gdal.tif; do
    echo "$f: $(gdalinfo "$work/$f" | grep '^Size')"
done
