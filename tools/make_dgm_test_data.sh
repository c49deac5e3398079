#!/bin/bash
# Makes the elevation and picture test files under tests/data/dgm with GDAL,
# so that our readers are checked against files another tool wrote:
#   - rough heights in LZW, long enough to fill the code table;
#   - one small terrain (7 × 5 points, 10 m, EPSG:25832, one hole) as
#     GeoTIFF in every sample type, compression (none, PackBits, LZW,
#     Deflate), predictor (1, 2, 3), in strips and tiles, in both byte
#     orders, with the pixel as area and as point, and once in degrees
#     (EPSG:4326); as ESRI ASCII grids with their ".prj" (in metres and in
#     degrees); as XYZ points (GDAL's order, then shuffled with a header and
#     semicolons, then south row first with tabs and CRLF line ends: orders
#     GDAL itself cannot read back);
#   - a 7 × 5 picture as RGB, RGBA, grey, palette, band-interleaved TIFF;
#   - files the readers must refuse (bad_*): BigTIFF, three bands of
#     heights, JPEG compression, a rotated raster, no georeference, complex
#     samples, an unknown compression, an SRTM tile of the wrong size.
# It records what GDAL reads back from every file:
#   gdal_grids.csv     file,columns,rows,west,north,step_x,step_y,epsg,
#                      geographic,holes,heights (the points north row first,
#                      west to east, blank-separated, "nan" for a hole; west
#                      and north are the first point, the centre of a pixel)
#   gdal_pictures.csv  file,width,height,west,north,step_x,step_y,rgb (the
#                      pixels top row first as hex bytes red green blue;
#                      west and north the outer corner)
# The tests read only these outputs; they need no GDAL.
#
# Needs gdal-bin and python3 (Debian). Usage:
#   tools/make_dgm_test_data.sh [output folder, default tests/data/dgm]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../tests/data/dgm}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
command -v gdal_translate >/dev/null || sudo apt-get install -y gdal-bin
PYTHON=/usr/bin/python3

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export GDAL_PAM_ENABLED=NO

# --- the terrain -------------------------------------------------------------
# Written by us as an ASCII grid (heights 200 to 450 m, the hole at column 2,
# row 1); everything else is GDAL's.
"$PYTHON" - "$work/base.asc" <<'PY'
import math, sys
w, h = 7, 5
with open(sys.argv[1], "w") as f:
    f.write("ncols %d\nnrows %d\nxllcorner 500000\nyllcorner 5600000\ncellsize 10\n"
            "NODATA_value -9999\n" % (w, h))
    for r in range(h):
        row = []
        for c in range(w):
            v = -9999 if (c, r) == (2, 1) else 240 + 3.25 * c * c - 7.5 * r + 11 * math.sin(c + 2 * r)
            row.append("%.3f" % v)
        f.write(" ".join(row) + "\n")
PY
T="gdal_translate -q -a_srs EPSG:25832"
$T -ot Float32 "$work/base.asc" "$work/base.tif"

tif() { # name options...
    local name=$1
    shift
    gdal_translate -q "$@" "$work/base.tif" "$out/$name"
}
tif f32_strips.tif -co BLOCKYSIZE=2
tif f32_deflate_p3_tiled.tif -co COMPRESS=DEFLATE -co PREDICTOR=3 -co TILED=YES \
    -co BLOCKXSIZE=16 -co BLOCKYSIZE=16
# (GDAL 3.6 does not read back what it writes with ENDIANNESS=BIG and
# PREDICTOR=3, so the big-endian floats have no predictor.)
tif f32_lzw_p3.tif -co COMPRESS=LZW -co PREDICTOR=3 -co BLOCKYSIZE=3
tif f32_deflate_msb.tif -co COMPRESS=DEFLATE -co ENDIANNESS=BIG
tif f64_lzw_p3.tif -ot Float64 -co COMPRESS=LZW -co PREDICTOR=3
tif f64_tiled_msb.tif -ot Float64 -co TILED=YES -co BLOCKXSIZE=16 -co BLOCKYSIZE=16 \
    -co ENDIANNESS=BIG
tif i16_packbits.tif -ot Int16 -co COMPRESS=PACKBITS -co BLOCKYSIZE=2
tif i16_lzw_p2_tiled_msb.tif -ot Int16 -co COMPRESS=LZW -co PREDICTOR=2 -co TILED=YES \
    -co BLOCKXSIZE=16 -co BLOCKYSIZE=16 -co ENDIANNESS=BIG
tif u16_deflate_p2.tif -ot UInt16 -a_nodata none -co COMPRESS=DEFLATE -co PREDICTOR=2
tif i32_lzw_p2.tif -ot Int32 -co COMPRESS=LZW -co PREDICTOR=2
tif u32_msb.tif -ot UInt32 -a_nodata none -co ENDIANNESS=BIG
tif u8_lzw_p2.tif -ot Byte -a_nodata none -scale 200 450 0 250 -co COMPRESS=LZW -co PREDICTOR=2
tif i8_deflate.tif -ot Byte -a_nodata none -scale 200 450 -120 120 -co PIXELTYPE=SIGNEDBYTE \
    -co COMPRESS=DEFLATE
tif f32_point.tif -mo AREA_OR_POINT=Point -co COMPRESS=DEFLATE
tif geo_f32_point.tif -a_srs EPSG:4326 -a_ullr 11 47.5 11.001944444444444 47.49861111111111 \
    -mo AREA_OR_POINT=Point
tif geo_i16_lzw.tif -ot Int16 -a_srs EPSG:4326 -a_ullr -77 -12 -76.99805555555555 -12.001388888888889 \
    -co COMPRESS=LZW
# Rough heights (96 × 64, 1 m): their LZW codes grow to 12 bits and fill
# the table, so the code width changes and the clear code are exercised.
"$PYTHON" - "$work/rough.asc" <<'PY'
import random, sys
random.seed(15)
with open(sys.argv[1], "w") as f:
    f.write("ncols 96\nnrows 64\nxllcorner 500000\nyllcorner 5600000\ncellsize 1\n")
    for r in range(64):
        f.write(" ".join(str(random.randint(-400, 3000)) for c in range(96)) + "\n")
PY
$T -ot Int16 -co COMPRESS=LZW "$work/rough.asc" "$out/i16_lzw_rough.tif"
# ASCII grids with the ".prj" GDAL writes beside them (ESRI's WKT).
gdal_translate -q -of AAIGrid "$work/base.tif" "$out/terrain.asc"
gdal_translate -q -of AAIGrid "$out/geo_f32_point.tif" "$out/geo_terrain.asc"
gdal_translate -q -of XYZ "$work/base.tif" "$work/gdal.xyz"

# GDAL writes the hole as its no-data value; an XYZ file leaves it out.
"$PYTHON" - "$work/gdal.xyz" "$out" <<'PY'
import os, random, sys
lines = [l for l in open(sys.argv[1]).read().split("\n") if l and not l.endswith(" -9999")]
out = sys.argv[2]
open(os.path.join(out, "terrain.xyz"), "w").write("\n".join(lines) + "\n")
random.seed(15)
shuffled = lines[:]
random.shuffle(shuffled)
open(os.path.join(out, "terrain_shuffled.csv"), "w").write(
    "X;Y;Z\n" + "".join(l.replace(" ", ";") + "\n" for l in shuffled))
rows = {}
for l in lines:
    rows.setdefault(l.split()[1], []).append(l)
south = [l for y in sorted(rows, key=float) for l in rows[y]]
open(os.path.join(out, "terrain_south.txt"), "w", newline="").write(
    "".join(l.replace(" ", "\t") + "\r\n" for l in south))
PY

# --- pictures --------------------------------------------------------------------
"$PYTHON" - "$work/pic.ppm" <<'PY'
import sys
w, h = 7, 5
# Binary (P6): GDAL reads no plain-text PPM.
with open(sys.argv[1], "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    for y in range(h):
        for x in range(w):
            f.write(bytes([(37 * x + 91 * y + 16) % 256, (53 * x + 17 * y + 39) % 256,
                           (11 * x * y + 5 * y + 200 * x) % 256]))
PY
P="gdal_translate -q -a_srs EPSG:25832 -a_ullr 500000 5600050 500070 5600000"
$P "$work/pic.ppm" "$work/pic.tif"
pic() { # name options...
    local name=$1
    shift
    gdal_translate -q "$@" "$work/pic.tif" "$out/$name"
}
pic pic_rgb.tif
pic pic_rgb_lzw_p2_tiled.tif -co COMPRESS=LZW -co PREDICTOR=2 -co TILED=YES \
    -co BLOCKXSIZE=16 -co BLOCKYSIZE=16
pic pic_rgb_planes_msb.tif -co INTERLEAVE=BAND -co ENDIANNESS=BIG -co COMPRESS=PACKBITS
pic pic_rgba_deflate.tif -b 1 -b 2 -b 3 -b 1 -colorinterp red,green,blue,alpha \
    -co COMPRESS=DEFLATE -co ALPHA=YES
pic pic_grey.tif -b 2 -co COMPRESS=PACKBITS
# A palette picture through a virtual raster with a colour table.
"$PYTHON" - "$work/pic.tif" "$work/palette.vrt" <<'PY'
import sys
entries = "".join('<Entry c1="%d" c2="%d" c3="%d" c4="255"/>' % ((i * 7) % 256, 255 - i, (i * 13) % 256)
                  for i in range(256))
open(sys.argv[2], "w").write(
    '<VRTDataset rasterXSize="7" rasterYSize="5"><SRS>EPSG:25832</SRS>'
    '<GeoTransform>500000, 10, 0, 5600050, 0, -10</GeoTransform><VRTRasterBand dataType="Byte" band="1">'
    '<ColorInterp>Palette</ColorInterp><ColorTable>%s</ColorTable><SimpleSource>'
    '<SourceFilename>%s</SourceFilename><SourceBand>1</SourceBand></SimpleSource>'
    '</VRTRasterBand></VRTDataset>' % (entries, sys.argv[1]))
PY
gdal_translate -q -co COMPRESS=LZW "$work/palette.vrt" "$out/pic_palette.tif"

# --- what the readers refuse ------------------------------------------------------
tif bad_bigtiff.tif -co BIGTIFF=YES
tif bad_no_georeference.tif -co PROFILE=BASELINE
tif bad_complex.tif -ot CInt16
tif bad_zstd.tif -co COMPRESS=ZSTD
pic bad_three_bands.tif
pic bad_jpeg.tif -co COMPRESS=JPEG
"$PYTHON" - "$work/base.tif" "$work/rotated.vrt" <<'PY'
import sys
open(sys.argv[2], "w").write(
    '<VRTDataset rasterXSize="7" rasterYSize="5"><GeoTransform>500000, 10, 2, 5600050, 2, -10'
    '</GeoTransform><VRTRasterBand dataType="Float32" band="1"><SimpleSource>'
    '<SourceFilename>%s</SourceFilename><SourceBand>1</SourceBand></SimpleSource>'
    '</VRTRasterBand></VRTDataset>' % sys.argv[1])
PY
gdal_translate -q "$work/rotated.vrt" "$out/bad_rotated.tif"
printf 'not a tile' > "$out/bad_N47E011.hgt"

# --- what GDAL reads back ---------------------------------------------------------------
grid_row() { # file epsg geographic [file GDAL reads instead]
    local file=$1 epsg=$2 geographic=$3 source=${4:-$1}
    gdalinfo -json "$out/$source" > "$work/info.json"
    gdal_translate -q -of XYZ -ot Float64 "$out/$source" "$work/points.xyz"
    "$PYTHON" - "$work/info.json" "$work/points.xyz" "$file" "$epsg" "$geographic" <<'PY'
import json, sys
info = json.load(open(sys.argv[1]))
band = info["bands"][0]
nodata = band.get("noDataValue")
gt = info["geoTransform"]
w, h = info["size"]
heights = []
for line in open(sys.argv[2]):
    v = float(line.split()[2])
    heights.append("nan" if nodata is not None and v == float(nodata) else repr(v))
assert len(heights) == w * h
print("%s,%d,%d,%r,%r,%r,%r,%s,%s,%d,%s" % (sys.argv[3], w, h, gt[0] + gt[1] / 2, gt[3] + gt[5] / 2,
      gt[1], -gt[5], sys.argv[4], sys.argv[5], heights.count("nan"), " ".join(heights)))
PY
}
{
    echo "file,columns,rows,west,north,step_x,step_y,epsg,geographic,holes,heights"
    for f in f32_strips f32_deflate_p3_tiled f32_lzw_p3 f32_deflate_msb f64_lzw_p3 f64_tiled_msb i16_packbits \
        i16_lzw_p2_tiled_msb u16_deflate_p2 i32_lzw_p2 u32_msb u8_lzw_p2 i8_deflate f32_point; do
        grid_row $f.tif 25832 0
    done
    grid_row i16_lzw_rough.tif 25832 0
    grid_row geo_f32_point.tif 4326 1
    grid_row geo_i16_lzw.tif 4326 1
    grid_row terrain.asc 25832 0
    grid_row geo_terrain.asc 4326 1
    # GDAL reads the XYZ points only in its own order and without the hole:
    # the grid it reads from them is the terrain's. terrain.xyz has the
    # ASCII grid's terrain.prj beside it.
    grid_row terrain.xyz 25832 0 f32_strips.tif
    for f in terrain_shuffled.csv terrain_south.txt; do
        grid_row $f 0 0 f32_strips.tif
    done
} > "$out/gdal_grids.csv"

# One row of a picture's CSV: its size and placement as GDAL reads them and
# every pixel as GDAL decodes it (palettes expanded), "rrggbb" a pixel.
picture_row() {
    local f=$1
    gdalinfo -json "$out/$f.tif" > "$work/info.json"
    gdal_translate -q -of ENVI -co INTERLEAVE=BSQ -expand rgb "$out/$f.tif" "$work/px.raw" 2>/dev/null ||
        gdal_translate -q -of ENVI -co INTERLEAVE=BSQ "$out/$f.tif" "$work/px.raw"
    "$PYTHON" - "$work/info.json" "$work/px.raw" "$f.tif" <<'PY'
import json, sys
info = json.load(open(sys.argv[1]))
w, h = info["size"]
gt = info["geoTransform"]
raw = open(sys.argv[2], "rb").read()
bands = len(raw) // (w * h)
plane = lambda b: raw[b * w * h:(b + 1) * w * h]
# One band is grey, three or more are red, green, blue (and alpha).
r, g, b = (plane(0), plane(0), plane(0)) if bands == 1 else (plane(0), plane(1), plane(2))
rgb = "".join("%02x%02x%02x" % (r[i], g[i], b[i]) for i in range(w * h))
print("%s,%d,%d,%r,%r,%r,%r,%s" % (sys.argv[3], w, h, gt[0], gt[3], gt[1], -gt[5], rgb))
PY
}

{
    echo "file,width,height,west,north,step_x,step_y,rgb"
    for f in pic_rgb pic_rgb_lzw_p2_tiled pic_rgb_planes_msb pic_rgba_deflate pic_grey pic_palette; do
        picture_row $f
    done
} > "$out/gdal_pictures.csv"
rm -f "$out"/*.aux.xml
echo "made the elevation test data in $out"

# --- filling holes (terrain_grid) ---------------------------------------------------
# fill_blob.tif: 40 × 30 points, 10 m, EPSG:25832, Float32 with no-data
# -9999 outside an irregular shape: rows 0-1 and 27-29 and columns 0-2 and
# 37-39 hold no height at all (cut off), a bay in the north-east reaches 13
# steps from data (filled flat), one-point notches at the west edge and a
# 3 × 2 hole inside are small (interpolated). Heights are quarter metres, so
# float32 holds them exactly.
# fill_blob.csv holds what filling it must give, worked out here from what
# GDAL reads back: file,columns,rows (after the cut),cut_north,cut_south,
# cut_west,cut_east,interpolated,flat,first_column,last_column,first_row,
# last_row (the filled points' box, indices after the cut),heights (after
# filling, north row first, blank-separated).
"$PYTHON" - "$work/blob.asc" <<'PY'
import math, sys
w, h = 40, 30
def valid(c, r):
    if r < 2 or r > 26 or c < 3 or c > 36: return False
    if r <= 14 and c > 14 + r % 3: return False        # the bay
    if c == 3 and r % 4 == 0: return False              # notches at the edge
    if 20 <= r <= 21 and 8 <= c <= 10: return False     # a small hole inside
    return True
with open(sys.argv[1], "w") as f:
    f.write("ncols %d\nnrows %d\nxllcorner 500000\nyllcorner 5600000\ncellsize 10\n"
            "NODATA_value -9999\n" % (w, h))
    for r in range(h):
        f.write(" ".join("%.2f" % (round(4 * (300 + 2.5 * c - 4 * r + 6 * math.sin(0.8 * c + 0.5 * r))) / 4)
                         if valid(c, r) else "-9999" for c in range(w)) + "\n")
PY
$T -ot Float32 -co COMPRESS=LZW "$work/blob.asc" "$out/fill_blob.tif"
gdal_translate -q -of XYZ -ot Float64 "$out/fill_blob.tif" "$work/blob.xyz"
"$PYTHON" - "$work/blob.xyz" > "$out/fill_blob.csv" <<'PY'
import sys
w, h, small = 40, 30, 10
z = [float(l.split()[2]) for l in open(sys.argv[1]) if l.strip()]
g = [[None if z[r * w + c] == -9999 else z[r * w + c] for c in range(w)] for r in range(h)]
rows = [r for r in range(h) if any(v is not None for v in g[r])]
cols = [c for c in range(w) if any(g[r][c] is not None for r in range(h))]
top, bottom, left, right = rows[0], rows[-1], cols[0], cols[-1]
g = [row[left:right + 1] for row in g[top:bottom + 1]]
h, w = len(g), len(g[0])
near = lambda r, c: [(r + i, c + j) for i in (-1, 0, 1) for j in (-1, 0, 1)
                     if (i or j) and 0 <= r + i < h and 0 <= c + j < w]
valid = [(r, c) for r in range(h) for c in range(w) if g[r][c] is not None]
def far(r, c):  # chessboard distance to the nearest valid point
    return min(max(abs(r - a), abs(c - b)) for a, b in valid)
seen, flat, filled = set(), 0, set()
for r in range(h):
    for c in range(w):
        if g[r][c] is not None or (r, c) in seen: continue
        hole, todo = [], [(r, c)]
        seen.add((r, c))
        while todo:
            p = todo.pop()
            hole.append(p)
            for q in near(*p):
                if g[q[0]][q[1]] is None and q not in seen:
                    seen.add(q)
                    todo.append(q)
        if max(far(*p) for p in hole) > small:
            low = min(g[a][b] for p in hole for a, b in near(*p) if g[a][b] is not None)
            for a, b in hole: g[a][b] = low
            flat += len(hole)
            filled.update(hole)
ring = [(r, c) for r in range(h) for c in range(w)
        if g[r][c] is None and any(g[a][b] is not None for a, b in near(r, c))]
interpolated = 0
while ring:
    values = []
    for r, c in ring:
        around = [g[a][b] for a, b in near(r, c) if g[a][b] is not None]
        values.append(sum(around) / len(around))
    for (r, c), v in zip(ring, values): g[r][c] = v
    interpolated += len(ring)
    filled.update(ring)
    ring = sorted({q for p in ring for q in near(*p) if g[q[0]][q[1]] is None})
assert all(v is not None for row in g for v in row)
print("file,columns,rows,cut_north,cut_south,cut_west,cut_east,interpolated,flat,"
      "first_column,last_column,first_row,last_row,heights")
print("fill_blob.tif,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%s" % (
    w, h, top, 29 - bottom, left, 39 - right, interpolated, flat,
    min(c for r, c in filled), max(c for r, c in filled),
    min(r for r, c in filled), max(r for r, c in filled),
    " ".join("%.4f" % v for row in g for v in row)))
PY
echo "made the fill test data in $out"

# --- pictures as the data says: bands and palettes ----------------------------------
# Six bands: bands 1-3 are those of pic_rgb.tif, bands 4-6 its green, blue
# and red; once in 8 bits tagged grey with extra samples (as GDAL tags a
# stack of satellite bands), once in 16 bits tagged RGB (each value times
# 257, so the upper byte is the 8-bit value) with the bands in planes. A
# palette picture as PNG (no georeference).
pic pic_six_bands.tif -b 1 -b 2 -b 3 -b 2 -b 3 -b 1 -co PHOTOMETRIC=MINISBLACK -co COMPRESS=DEFLATE
pic pic_six_bands_u16.tif -b 1 -b 2 -b 3 -b 2 -b 3 -b 1 -ot UInt16 -scale 0 255 0 65535 \
    -co INTERLEAVE=BAND -co COMPRESS=LZW
gdal_translate -q -of PNG "$out/pic_palette.tif" "$out/pic_palette.png"
rm -f "$out"/*.aux.xml

# --- readers: what is no height ------------------------------------------------
# Float and integer GeoTIFFs (4 x 3 and 4 x 2 points, 10 m, EPSG:25832), written
# by us as raw samples behind a virtual raster, then by GDAL as GeoTIFF:
#   f32_nodata_9999_9.tif  Float32 declaring -9999.9 as no data (stored as the
#                          float -9999.900390625), and an undeclared -32768;
#   f32_outliers.tif       Float32 without no data: -3.4e38, NaN, infinities,
#                          -9999, -32768 and the edges of the possible heights;
#   f64_outliers.tif       Float64: 1e300, 2^32, -2^31, 3.4e38;
#   i32_outliers.tif       Int32: -2^31, 2^31 - 1, -32768, -9999.
# gdal_outliers.csv: file,columns,rows,heights (every point as GDAL reads it,
# north row first, "nd" where GDAL's mask band says no data).
"$PYTHON" - "$work" <<'PY'
import os, struct, sys
work = sys.argv[1]
inf, nan = float("inf"), float("nan")
grids = {
    # name: (GDAL type, struct code, columns, values north row first, no data)
    "f32_nodata_9999_9": ("Float32", "f", 4, [-9999.9, 212.5, 230.25, -9999.9,
                                             240.0, -9999.9, 251.75, 260.5,
                                             270.0, 281.125, -32768, 299.0], "-9999.9"),
    "f32_outliers": ("Float32", "f", 4, [-3.4028234663852886e38, nan, inf, -inf,
                                        -9999, -32768, 9000.5, -1000.5,
                                        -1000, 9000, 0, 512.25], None),
    "f64_outliers": ("Float64", "d", 4, [1e300, -1e300, 2.0 ** 32, 1e-300,
                                        -2147483648.0, 8999.999, 100.0, 3.4e38], None),
    "i32_outliers": ("Int32", "i", 4, [-2147483648, 2147483647, -32768, 9001,
                                      -1000, 9000, 17, -9999], None),
}
for name, (gdal_type, code, w, values, nodata) in grids.items():
    h = len(values) // w
    raw = os.path.join(work, name + ".raw")
    open(raw, "wb").write(struct.pack("<%d%s" % (len(values), code), *values))
    size = struct.calcsize(code)
    open(os.path.join(work, name + ".vrt"), "w").write(
        '<VRTDataset rasterXSize="%d" rasterYSize="%d"><SRS>EPSG:25832</SRS>'
        '<GeoTransform>500000, 10, 0, 5600040, 0, -10</GeoTransform>'
        '<VRTRasterBand dataType="%s" band="1" subClass="VRTRawRasterBand">%s'
        '<SourceFilename relativeToVRT="1">%s</SourceFilename><ImageOffset>0</ImageOffset>'
        '<PixelOffset>%d</PixelOffset><LineOffset>%d</LineOffset><ByteOrder>LSB</ByteOrder>'
        '</VRTRasterBand></VRTDataset>' % (w, h, gdal_type,
        "<NoDataValue>%s</NoDataValue>" % nodata if nodata else "", name + ".raw", size, size * w))
PY
for f in f32_nodata_9999_9 f32_outliers f64_outliers i32_outliers; do
    gdal_translate -q "$work/$f.vrt" "$out/$f.tif"
done
{
    echo "file,columns,rows,heights"
    for f in f32_nodata_9999_9 f32_outliers f64_outliers i32_outliers; do
        gdal_translate -q -of ENVI -ot Float64 "$out/$f.tif" "$work/values.raw"
        gdal_translate -q -of ENVI -b mask "$out/$f.tif" "$work/mask.raw"
        gdalinfo -json "$out/$f.tif" > "$work/info.json"
        "$PYTHON" - "$work/info.json" "$work/values.raw" "$work/mask.raw" "$f.tif" <<'PY'
import json, struct, sys
w, h = json.load(open(sys.argv[1]))["size"]
values = struct.unpack("<%dd" % (w * h), open(sys.argv[2], "rb").read())
mask = open(sys.argv[3], "rb").read()
assert len(mask) == w * h
print("%s,%d,%d,%s" % (sys.argv[4], w, h, " ".join("nd" if m == 0 else repr(v)
                                                   for v, m in zip(values, mask))))
PY
    done
} > "$out/gdal_outliers.csv"
echo "made the no-data test files in $out"

# --- coordinate systems ------------------------------------------------------
# A terrain given by a formula of the zone-32 coordinates (below), cut into
# three tiles in three systems near the zone border at 12 degrees east:
#   sys_utm32.tif  EPSG:25832, 30 x 30 points from (X0, Y0) north-east, 10 m;
#   sys_utm33.tif  EPSG:25833, on its own 10 m lattice, covering the 300 m
#                  east of it (and 20 m more round about);
#   sys_gk4.asc    EPSG:31468 (Gauss-Krueger on DHDN, ".prj" as GDAL writes
#                  it, names only), covering the 300 m south of the first;
# every point's height is the formula at the point carried into zone 32 by
# PROJ (the GK tile with the seven-parameter shift given explicitly, not the
# official grid PROJ would pick by itself). Further:
#   sys_photo_deg.tif  an RGB picture in EPSG:4326 over the first tile, grey
#                  green with a red square of 12 m round the marker;
#   sys_points.csv from,to,x,y,x_expected,y_expected: points of every family
#                  forward and back as PROJ carries them (degrees lon/lat);
#   sys_places.csv what,lat1,lon1,lat2,lon2,size,x1,y1,x2,y2: the marker's
#                  grid point and its latitude/longitude, and the smallest
#                  rectangles of the first tile's lattice holding the
#                  corners PROJ projects for --ausschnitt-grad and
#                  --mitte/--groesse.
# The formula, also in tests/dgm/terrain_grid_test.cpp:
#   h = 300 + 0.02 (x - X0) - 0.015 (y - Y0) + 4 sin((x - X0) / 150) cos((y - Y0) / 120)
"$PYTHON" - "$work" "$out" <<'PY'
import math, os, subprocess, sys
work, out = sys.argv[1], sys.argv[2]
X0, Y0, STEP = 715000.0, 5543000.0, 10.0
GK4 = ("+proj=tmerc +lat_0=0 +lon_0=12 +k=1 +x_0=4500000 +y_0=0 +ellps=bessel "
       "+towgs84=598.1,73.7,418.2,0.202,0.045,-2.455,6.7 +units=m +no_defs")
GK2 = GK4.replace("+lon_0=12", "+lon_0=6").replace("+x_0=4500000", "+x_0=2500000")
def srs(code):
    return {31468: GK4, 31466: GK2}.get(code, "EPSG:%d" % code)
def transform(points, src, dst):
    text = "".join("%.10f %.10f\n" % p for p in points)
    res = subprocess.run(["gdaltransform", "-s_srs", srs(src), "-t_srs", srs(dst)],
                         input=text, capture_output=True, text=True, check=True).stdout
    return [tuple(float(v) for v in line.split()[:2]) for line in res.strip().splitlines()]
def height(x, y):
    return (300 + 0.02 * (x - X0) - 0.015 * (y - Y0)
            + 4 * math.sin((x - X0) / 150) * math.cos((y - Y0) / 120))

def tile(code, x1, y1, x2, y2, name):
    # The zone-32 rectangle's border in the tile's system, 20 m wider.
    border = []
    for k in range(11):
        t = k / 10
        border += [(x1 - 20 + t * (x2 - x1 + 40), y1 - 20), (x1 - 20 + t * (x2 - x1 + 40), y2 + 20),
                   (x1 - 20, y1 - 20 + t * (y2 - y1 + 40)), (x2 + 20, y1 - 20 + t * (y2 - y1 + 40))]
    there = transform(border, 25832, code)
    west = math.floor(min(p[0] for p in there) / STEP) * STEP
    east = math.ceil(max(p[0] for p in there) / STEP) * STEP
    south = math.floor(min(p[1] for p in there) / STEP) * STEP
    north = math.ceil(max(p[1] for p in there) / STEP) * STEP
    cols, rows = int((east - west) / STEP) + 1, int((north - south) / STEP) + 1
    pts = [(west + c * STEP, north - r * STEP) for r in range(rows) for c in range(cols)]
    here = transform(pts, code, 25832)
    with open(os.path.join(work, name + ".asc"), "w") as f:
        f.write("ncols %d\nnrows %d\nxllcenter %.1f\nyllcenter %.1f\ncellsize %g\n"
                % (cols, rows, west, south, STEP))
        for r in range(rows):
            f.write(" ".join("%.2f" % height(*here[r * cols + c]) for c in range(cols)) + "\n")

# The zone-32 tile lies on the formula's own lattice.
with open(os.path.join(work, "sys_utm32.asc"), "w") as f:
    f.write("ncols 30\nnrows 30\nxllcenter %.1f\nyllcenter %.1f\ncellsize 10\n" % (X0, Y0))
    for r in range(30):
        f.write(" ".join("%.3f" % height(X0 + c * STEP, Y0 + (29 - r) * STEP)
                         for c in range(30)) + "\n")
tile(25833, X0 + 300, Y0, X0 + 590, Y0 + 290, "sys_utm33")
tile(31468, X0, Y0 - 300, X0 + 290, Y0 - 10, "sys_gk4")

# The photo in degrees over the first tile, the marker at grid point (12, 17).
mx, my = X0 + 120, Y0 + 170
(mlon, mlat), = transform([(mx, my)], 25832, 4326)
corners = transform([(X0 - 30, Y0 - 30), (X0 + 320, Y0 + 320)], 25832, 4326)
lon1, lat1 = corners[0]
lon2, lat2 = corners[1]
PIX = 0.00002
w, h = int((lon2 - lon1) / PIX), int((lat2 - lat1) / PIX)
dlon, dlat = 6 / (111320 * math.cos(math.radians(mlat))), 6 / 111200
with open(os.path.join(work, "photo.ppm"), "wb") as f:
    f.write(b"P6 %d %d 255\n" % (w, h))
    for r in range(h):
        lat = lat2 - (r + 0.5) * PIX
        row = bytearray()
        for c in range(w):
            lon = lon1 + (c + 0.5) * PIX
            red = abs(lon - mlon) <= dlon and abs(lat - mlat) <= dlat
            row += bytes((250, 0, 0) if red else (90, 120, 80))
        f.write(row)
with open(os.path.join(work, "photo_corners"), "w") as f:
    f.write("%.10f %.10f %.10f %.10f\n" % (lon1, lat2, lon1 + w * PIX, lat2 - h * PIX))

# Points of every family forward and back.
rows = []
def check(src, dst, pts):
    for p, q in zip(pts, transform(pts, src, dst)):
        rows.append("%d,%d,%.10f,%.10f,%.10f,%.10f" % (src, dst, p[0], p[1], q[0], q[1]))
check(4326, 25832, [(12.0, 50.0), (6.5, 47.3)])
check(25832, 4326, [(715000.0, 5543000.0), (320000.0, 6100000.0)])
check(4258, 25828, [(-14.0, 28.1)])
check(25838, 4258, [(400000.0, 4400000.0)])
check(4326, 32601, [(-178.5, 10.0)])
check(32660, 4326, [(600000.0, 7000000.0)])
check(4326, 32733, [(15.5, -20.0)])
check(32722, 4326, [(300000.0, 7400000.0)])
check(25833, 25832, [(285000.0, 5543000.0)])
check(31468, 25832, [(4500000.0, 5540000.0)])
check(25832, 31466, [(330000.0, 5700000.0)])
check(31466, 4326, [(2600000.0, 5600000.0)])
with open(os.path.join(out, "sys_points.csv"), "w") as f:
    f.write("from,to,x,y,x_expected,y_expected\n" + "\n".join(rows) + "\n")

# The cuts: corners as PROJ projects them, outward onto the first tile's
# lattice (first point X0, Y0 + 290, 10 m).
def outward(xs, ys):
    n = Y0 + 290
    return (X0 + math.floor((min(xs) - X0) / STEP) * STEP, n - math.ceil((n - min(ys)) / STEP) * STEP,
            X0 + math.ceil((max(xs) - X0) / STEP) * STEP, n - math.floor((n - max(ys)) / STEP) * STEP)
places = ["marker,%.10f,%.10f,,,,%.1f,%.1f,," % (mlat, mlon, mx, my)]
(alon, alat), (blon, blat) = transform([(X0 + 52.3, Y0 + 33.1), (X0 + 231.7, Y0 + 248.4)], 25832, 4326)
cs = transform([(alon, alat), (blon, alat), (alon, blat), (blon, blat)], 4326, 25832)
places.append("grad,%.8f,%.8f,%.8f,%.8f,,%.2f,%.2f,%.2f,%.2f"
              % ((alat, alon, blat, blon) + outward([p[0] for p in cs], [p[1] for p in cs])))
(clon, clat), = transform([(X0 + 150.3, Y0 + 140.7)], 25832, 4326)
(cx, cy), = transform([(clon, clat)], 4326, 25832)
places.append("mitte,%.8f,%.8f,,,100,%.2f,%.2f,%.2f,%.2f"
              % ((clat, clon) + outward([cx - 50, cx + 50], [cy - 50, cy + 50])))
with open(os.path.join(out, "sys_places.csv"), "w") as f:
    f.write("what,lat1,lon1,lat2,lon2,size,x1,y1,x2,y2\n" + "\n".join(places) + "\n")
PY
gdal_translate -q -a_srs EPSG:25832 -ot Float32 -co COMPRESS=DEFLATE -co PREDICTOR=3 \
    "$work/sys_utm32.asc" "$out/sys_utm32.tif"
gdal_translate -q -a_srs EPSG:25833 -ot Float32 -co COMPRESS=DEFLATE -co PREDICTOR=3 \
    "$work/sys_utm33.asc" "$out/sys_utm33.tif"
gdal_translate -q -a_srs EPSG:31468 -of AAIGrid -co DECIMAL_PRECISION=2 "$work/sys_gk4.asc" "$out/sys_gk4.asc"
rm -f "$out/sys_gk4.asc.aux.xml"
read -r ulx uly lrx lry < "$work/photo_corners"
gdal_translate -q -a_srs EPSG:4326 -a_ullr "$ulx" "$uly" "$lrx" "$lry" -co COMPRESS=DEFLATE \
    "$work/photo.ppm" "$out/sys_photo_deg.tif"
echo "made the coordinate system test files in $out"

# === i22-tiff: JPEG-in-TIFF, BigTIFF, decimal commas, named compressions =====
# A 24 x 18 picture of smooth colours with one white 2 x 2 marker at column
# 13, row 9, as JPEG-compressed TIFF: YCbCr 4:2:0 in strips of 16 rows (the
# last one short) and in 16 x 16 tiles (padded at the right and bottom), RGB
# without colour transform, and one grey band; its uncompressed twin; what
# GDAL decodes from each goes to gdal_jpeg_pictures.csv (columns as in
# gdal_pictures.csv). BigTIFF twins of f32_strips.tif (big-endian) and of
# jpeg_twin.tif (tiled, Deflate); a decimal-comma CSV twin of terrain.xyz;
# a LERC file the readers refuse by name. Needs ImageMagick too.
"$PYTHON" - "$work/jpic.ppm" <<'PY'
import sys
w, h = 24, 18
with open(sys.argv[1], "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    for y in range(h):
        for x in range(w):
            px = bytes([40 + 6 * x, 60 + 5 * y, 120 + 2 * x - 3 * y])
            if x in (13, 14) and y in (9, 10):
                px = b"\xff\xff\xff"
            f.write(px)
PY
gdal_translate -q -a_srs EPSG:25832 -a_ullr 500000 5600180 500240 5600000 "$work/jpic.ppm" \
    "$out/jpeg_twin.tif"
jp() { # name options...
    local name=$1
    shift
    gdal_translate -q "$@" "$out/jpeg_twin.tif" "$out/$name"
}
jp jpeg_ycbcr_strips.tif -co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR -co BLOCKYSIZE=16
jp jpeg_ycbcr_tiled.tif -co COMPRESS=JPEG -co PHOTOMETRIC=YCBCR -co TILED=YES \
    -co BLOCKXSIZE=16 -co BLOCKYSIZE=16
jp jpeg_rgb.tif -co COMPRESS=JPEG -co PHOTOMETRIC=RGB
jp jpeg_grey.tif -b 2 -co COMPRESS=JPEG
# YCbCr without subsampling (4:4:4), which GDAL does not write: ImageMagick's
# convert, then the georeference set in place (the pixels stay as written).
convert "$work/jpic.ppm" -strip -compress JPEG -colorspace YCbCr "$out/jpeg_ycbcr_444.tif"
gdal_edit.py -a_srs EPSG:25832 -a_ullr 500000 5600180 500240 5600000 "$out/jpeg_ycbcr_444.tif"
tif big_f32_msb.tif -co BIGTIFF=YES -co ENDIANNESS=BIG -co BLOCKYSIZE=2
jp big_jpeg_twin.tif -co BIGTIFF=YES -co TILED=YES -co BLOCKXSIZE=16 -co BLOCKYSIZE=16 \
    -co COMPRESS=DEFLATE
tif bad_lerc.tif -co COMPRESS=LERC
sed -e 's/\./,/g' -e 's/ /;/g' "$out/terrain.xyz" > "$out/terrain_komma.csv"
{
    echo "file,width,height,west,north,step_x,step_y,rgb"
    for f in jpeg_twin big_jpeg_twin jpeg_ycbcr_strips jpeg_ycbcr_tiled jpeg_ycbcr_444 jpeg_rgb \
        jpeg_grey; do
        picture_row $f
    done
} > "$out/gdal_jpeg_pictures.csv"
for f in jpeg_ycbcr_strips jpeg_ycbcr_tiled jpeg_grey big_f32_msb; do
    cp "$out/$f.tif" "$here/../fuzz/corpus/geotiff/$f.tif"
done
echo "made the JPEG, BigTIFF and decimal-comma test files in $out"
# ---- archives (zip, gz) ----------------------------------------------------
# Zip and gz twins of the plain cases, made with Python's zipfile and gzip
# (fixed dates, so the files come out the same every time):
#   arch_terrain.xyz.gz, arch_terrain.asc.gz      terrain.xyz, terrain.asc
#   arch_strips.zip      "Höhen/f32_strips.tif" deflated, its name in
#                        code page 437 (no UTF-8 flag)
#   N47E011.hgt.zip      a 3-arc-second SRTM tile whose heights are
#                        100 + 50 (r div 300) + 20 (c div 300) (r from the north, c from
#                        the west): the tests write its plain twin
#   arch_picture.zip     terrain.xyz, and "Luftbild/foto.png" (pic_palette.png)
#                        with its world file "Luftbild/foto.pgw" (10 m pixels
#                        from 500000, 5600050), and a licence text "lizenz.txt"
#                        as the survey offices put beside their tiles
#   zip64.zip            terrain.xyz deflated, every size and offset in the
#                        ZIP64 fields (as an archive beyond 4 GiB has them)
# and broken ones the reader refuses: an encrypted entry (flag bit 0 set), a
# zip inside the zip, a zip cut short, an entry whose CRC-32 is wrong, a
# bomb declaring 2,000,000,000 bytes in 1 KB, and a gz member longer than
# the size it declares.
"$PYTHON" - "$out" <<'PY'
import gzip, io, os, struct, sys, zipfile
out = sys.argv[1]
when = (2024, 1, 1, 0, 0, 0)

def read(name):
    return open(os.path.join(out, name), "rb").read()

def gz(name, data):
    with open(os.path.join(out, name), "wb") as f:
        with gzip.GzipFile(filename=name[:-3], mode="wb", fileobj=f, mtime=0) as g:
            g.write(data)

def zipped(entries, method=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", compresslevel=9) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, when)
            info.compress_type = method
            info._compresslevel = 9
            info.create_system = 0
            z.writestr(info, data)
    return bytearray(buf.getvalue())

def put(name, data):
    open(os.path.join(out, name), "wb").write(data)

gz("arch_terrain.xyz.gz", read("terrain.xyz"))
gz("arch_terrain.asc.gz", read("terrain.asc"))
# zipfile writes every name beyond ASCII in UTF-8: the name in code page 437
# (0x94 is "ö") goes in afterwards, in the local and the central header.
z = zipped([("H_hen/f32_strips.tif", read("f32_strips.tif"))])
put("arch_strips.zip", bytes(z).replace(b"H_hen/", b"H\x94hen/"))
hgt = b"".join(struct.pack(">h", 100 + (r // 300) * 50 + (c // 300) * 20) for r in range(1201) for c in range(1201))
put("N47E011.hgt.zip", zipped([("N47E011.hgt", hgt)]))
put("arch_picture.zip", zipped([("terrain.xyz", read("terrain.xyz")),
                                ("Luftbild/foto.png", read("pic_palette.png")),
                                ("Luftbild/foto.pgw", b"10\n0\n0\n-10\n500005\n5600045\n"),
                                ("lizenz.txt", b"Datenlizenz Deutschland - Namensnennung - Version 2.0\n")]))

import zlib
data = read("terrain.xyz")
packed = zlib.compress(data, 9)[2:-4]  # the raw deflate stream
crc, name, ones = zlib.crc32(data), b"terrain.xyz", 0xFFFFFFFF
extra = struct.pack("<HHQQ", 1, 16, len(data), len(packed))
local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 8, 0, 0x5821, crc, ones, ones,
                    len(name), len(extra)) + name + extra + packed
extra = struct.pack("<HHQQQ", 1, 24, len(data), len(packed), 0)
cd = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 8, 0, 0x5821, crc, ones, ones,
                 len(name), len(extra), 0, 0, 0, 0, ones) + name + extra
end64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 1, 1, len(cd), len(local))
locator = struct.pack("<IIQI", 0x07064B50, 0, len(local) + len(cd), 1)
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, ones, ones, 0)
put("zip64.zip", local + cd + end64 + locator + end)
assert zipfile.ZipFile(os.path.join(out, "zip64.zip")).read("terrain.xyz") == data

small = read("terrain.xyz")
def central(z):
    return z.rindex(b"PK\x01\x02")  # the last entry's directory record

z = zipped([("terrain.xyz", small)])
for at in (0, central(z)):          # flag bit 0 in the local and the central header
    flag = 6 if at == 0 else 8
    z[at + flag] |= 1
put("bad_encrypted.zip", z)
put("bad_nested.zip", zipped([("innen/kachel.zip", bytes(zipped([("terrain.xyz", small)])))]))
put("bad_truncated.zip", zipped([("terrain.xyz", small)])[:200])
z = zipped([("Höhe.xyz", small)])
z[central(z) + 16] ^= 0xFF          # the CRC-32 the directory declares
put("bad_crc.zip", z)
z = zipped([("bombe.xyz", b"0 0 0\n" * 100000)])
struct.pack_into("<I", z, central(z) + 24, 2000000000)  # the declared size
put("bad_bomb.zip", z)
buf = io.BytesIO()
with gzip.GzipFile(filename="bombe.xyz", mode="wb", fileobj=buf, mtime=0) as g:
    g.write(b"0 0 0\n" * 100000)
g = bytearray(buf.getvalue())
struct.pack_into("<I", g, len(g) - 4, 600)  # declares 600 bytes of 600000
put("bad_bomb.xyz.gz", g)
PY
echo "made the archive test files in $out"
