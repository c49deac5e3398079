#!/bin/bash
# Makes the raster test files under tests/data with tools written by others,
# so that our readers are not only tested against our own writers:
#   - 24-bit bitmaps written by ImageMagick in both header forms ("BMP3:"
#     gives the 40-byte info header, "BMP2:" the 12-byte core header), with
#     odd widths so that the row padding matters, a height bitmap, and two
#     it must refuse (16 bits per pixel; a later header version);
#   - Terragen files written by GDAL's Terragen driver, with odd and even
#     point counts, several grid spacings (GDAL gives the vertical scale the
#     grid spacing, and leaves "SCAL" out for a 30 m grid).
# It records what the tools themselves read back from the files:
#   imagemagick_pixels.csv  file,width,height,x,y,red,green,blue
#                           (ImageMagick's y = 0 is the top row, which a
#                           bottom-up bitmap stores last)
#   gdal_heights.csv        file,xsize,ysize,pixel_m,col,row,raw,metres
#                           (GDAL's row 0 is the north edge, which a Terragen
#                           file stores last; metres as GDAL unscales them)
# The tests read only these outputs; they need neither tool.
#
# Needs: imagemagick, gdal-bin, python3-gdal (Debian). Usage:
#   tools/make_raster_test_data.sh [output folder, default tests/data]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here/../tests/data}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# The real ImageMagick; another "convert" may come first on the PATH.
CONVERT=/usr/bin/convert
PYTHON=/usr/bin/python3
"$CONVERT" -version | grep -q ImageMagick || { echo "ImageMagick missing" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# --- bitmaps ---------------------------------------------------------------
# A plain-text PPM (top row first) with a fixed pattern; the pixel (0, 0) of
# every picture is red 16, green 39, blue 0, whose stored bytes 00 27 10
# read as the height value 10000.
ppm() { # name width height
    "$PYTHON" - "$work/$1.ppm" "$2" "$3" <<'PY'
import sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
with open(path, "w") as f:
    f.write("P3\n%d %d\n255\n" % (w, h))
    for y in range(h):
        row = []
        for x in range(w):
            if x == 0 and y == 0:
                r, g, b = 16, 39, 0
            else:
                r = (37 * x + 91 * y + 16) % 256
                g = (53 * x + 17 * y + 39) % 256
                b = (11 * x * y + 5 * y + 200 * x) % 256
            row.append("%d %d %d" % (r, g, b))
        f.write("  ".join(row) + "\n")
PY
}

# A height picture: the value red + 256 × green + 65536 × blue is the height
# in centimetres + 10000.
height_ppm() { # name
    "$PYTHON" - "$work/$1.ppm" <<'PY'
import sys
heights = [[0, 100, 200, -250], [300, -10000, 5, 12345], [70000, 0, -1, 16767215]]
with open(sys.argv[1], "w") as f:
    f.write("P3\n4 3\n255\n")
    for row in heights:
        px = []
        for h in row:
            v = h + 10000
            px.append("%d %d %d" % (v & 255, (v >> 8) & 255, v >> 16))
        f.write("  ".join(px) + "\n")
PY
}

for w in 1 3 5; do
    h=$(( w == 1 ? 3 : w - 1 ))
    ppm "w$w" "$w" "$h"
    "$CONVERT" "$work/w$w.ppm" -type TrueColor BMP3:"$out/im_bmp3_w$w.bmp"
    "$CONVERT" "$work/w$w.ppm" -type TrueColor BMP2:"$out/im_bmp2_w$w.bmp"
done
height_ppm height
"$CONVERT" "$work/height.ppm" -type TrueColor BMP3:"$out/im_height_4x3.bmp"
ppm w3 3 2
"$CONVERT" "$work/w3.ppm" -define bmp:subtype=RGB565 BMP3:"$out/im_bmp3_rgb565.bmp"
"$CONVERT" "$work/w3.ppm" -type TrueColor BMP:"$out/im_bmp5_w3.bmp"

# Check that the tools wrote the header forms the tests rely on.
"$PYTHON" - "$out" <<'PY'
import struct, sys, os
d = sys.argv[1]
want = {"im_bmp3_w1.bmp": (54, 24), "im_bmp3_w3.bmp": (54, 24), "im_bmp3_w5.bmp": (54, 24),
        "im_bmp2_w1.bmp": (26, 24), "im_bmp2_w3.bmp": (26, 24), "im_bmp2_w5.bmp": (26, 24),
        "im_height_4x3.bmp": (54, 24), "im_bmp3_rgb565.bmp": (54, 16),
        "im_bmp5_w3.bmp": (138, 24)}
for name, (offset, bits) in want.items():
    b = open(os.path.join(d, name), "rb").read()
    got_offset = struct.unpack_from("<I", b, 10)[0]
    got_bits = struct.unpack_from("<H", b, 24 if got_offset == 26 else 28)[0]
    assert (got_offset, got_bits) == (offset, bits), (name, got_offset, got_bits)
PY

{
    echo "file,width,height,x,y,red,green,blue"
    for f in im_bmp3_w1 im_bmp3_w3 im_bmp3_w5 im_bmp2_w1 im_bmp2_w3 im_bmp2_w5 im_height_4x3; do
        size="$("$CONVERT" "$out/$f.bmp" -format '%w,%h' info:)"
        # ImageMagick's pixel listing: "x,y: (r,g,b)  #RRGGBB  name"
        "$CONVERT" "$out/$f.bmp" -depth 8 txt:- | sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1,\2,\3,\4,\5/p' |
            sed "s/^/$f.bmp,$size,/"
    done
} > "$out/imagemagick_pixels.csv"

# --- Terragen files ----------------------------------------------------------
"$PYTHON" - "$out" <<'PY'
import os, struct, sys
from osgeo import gdal, osr

gdal.UseExceptions()
out = sys.argv[1]

def write(name, w, h, pixel, rows):
    """rows: heights in metres, north row first (as GDAL holds a raster)."""
    mem = gdal.GetDriverByName("MEM").Create("", w, h, 1, gdal.GDT_Float32)
    mem.SetGeoTransform([0, pixel, 0, h * pixel, 0, -pixel])
    srs = osr.SpatialReference()
    srs.SetFromUserInput('LOCAL_CS["grid",UNIT["metre",1]]')
    mem.SetProjection(srs.ExportToWkt())
    band = mem.GetRasterBand(1)
    for y, row in enumerate(rows):
        band.WriteRaster(0, y, w, 1, struct.pack("<%df" % w, *row), buf_type=gdal.GDT_Float32)
    flat = [v for row in rows for v in row]
    gdal.GetDriverByName("Terragen").CreateCopy(
        os.path.join(out, name), mem,
        options=["MINUSERPIXELVALUE=%r" % min(flat), "MAXUSERPIXELVALUE=%r" % max(flat)])

write("gdal_3x3_30m.ter", 3, 3, 30.0, [[0, 10, 20], [30, 40, 50], [60, 70, 85.5]])
write("gdal_4x2_12m5.ter", 4, 2, 12.5, [[-5, 0, 5, 100], [200, 300, 400, 1000]])
write("gdal_5x3_2m.ter", 5, 3, 2.0,
      [[-120.25, -60, 0, 60, 120], [1, 2, 3, 4, 5], [-7.5, 0.5, 33, 99, 250]])
write("gdal_6x6_0m29.ter", 6, 6, 0.29,
      [[(x * 7 + y * 3) * 0.5 - 4 for x in range(6)] for y in range(6)])

with open(os.path.join(out, "gdal_heights.csv"), "w") as f:
    f.write("file,xsize,ysize,pixel_m,col,row,raw,metres\n")
    for name in ["gdal_3x3_30m.ter", "gdal_4x2_12m5.ter", "gdal_5x3_2m.ter", "gdal_6x6_0m29.ter"]:
        ds = gdal.Open(os.path.join(out, name))
        raw = ds.GetRasterBand(1).ReadAsArray()
        # GDAL applies the file's scale and offset itself.
        # (The translated data set must stay referenced while its band is read.)
        unscaled = gdal.Translate("", ds, format="MEM", unscale=True, outputType=gdal.GDT_Float64)
        metres = unscaled.GetRasterBand(1).ReadAsArray()
        pixel = ds.GetGeoTransform()[1]
        for r in range(ds.RasterYSize):
            for c in range(ds.RasterXSize):
                f.write("%s,%d,%d,%r,%d,%d,%d,%r\n" % (name, ds.RasterXSize, ds.RasterYSize,
                        pixel, c, r, int(raw[r][c]), float(metres[r][c])))
PY
rm -f "$out"/*.aux.xml
echo "made the raster test data in $out"
