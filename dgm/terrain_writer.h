// The Terragen terrain file (".ter") as the converter writes it; the layout
// is the one raster/terragen_file.h reads:
//
//   OFFSET SIZE TYPE    MEANING
//    0      8   text    "TERRAGEN"
//    8      8   text    "TERRAIN "
//   16      4   tag     "SIZE"  u16 points of the shorter side - 1, 2 bytes 0
//   24      4   tag     "XPTS"  u16 points west to east, 2 bytes 0
//   32      4   tag     "YPTS"  u16 points south to north, 2 bytes 0
//   40      4   tag     "SCAL"  f32 × 3: grid step x, y (metres), metres per
//                               height unit z
//   56      4   tag     "ALTW"  i16 HeightScale, i16 BaseHeight, then
//                               XPTS × YPTS i16 samples, the southern row
//                               first, each row west to east; 2 bytes 0 when
//                               the count is odd
//   ..      4   tag     "EOF "
//
// A sample s stands for (BaseHeight + s × HeightScale / 65536) × SCAL z
// metres. SCAL z equals the grid step, as GDAL writes it: GDAL's reader
// scales the heights by SCAL x, ours by SCAL z, and only then do both read
// the same heights. BaseHeight (whole units) lies in the middle of the
// heights, or as near to it as an int16 allows, and the samples spend the
// whole int16 range on the rest: a range of R metres is stored in steps of
// about (R + step) / 65536 m (better than 1 cm up to 600 m). With the step
// as the unit an int16 reaches about 49,000 steps (12 km on a 25 cm grid);
// only heights beyond that make SCAL z double until they fit, and then
// GDAL reads other heights than ours (gdalReadsAlike says so).
//
// The generator takes the grid step from SCAL x in whole centimetres,
// truncated: SCAL x is the float whose truncation gives exactly the step
// (0.29f alone would truncate to 28 cm).
#pragma once

#include "dgm/terrain_grid.h"

#include <cstdint>
#include <vector>

struct TerrainEncoding {
    float scaleXY = 0.0f;         // SCAL x and y, metres
    float scaleZ = 1.0f;          // SCAL z, metres per height unit
    std::int16_t heightScale = 1; // units × 65536 per sample step
    std::int16_t baseHeight = 0;  // units
    // GDAL's reader takes the unit from SCAL x: true when it reads our heights.
    bool gdalReadsAlike() const { return scaleZ == scaleXY; }
};

// The encoding for heights from low to high metres on a grid of stepCm.
TerrainEncoding chooseTerrainEncoding(double low, double high, std::int32_t stepCm);

// The file image of a grid without holes of at most MaxTerrainSide points a
// side (dgm/terrain_grid.h) (empty otherwise). The grid's rows are freed as they are written:
// `grid` is empty afterwards.
std::vector<std::uint8_t> encodeTerrain(RowGrid&& grid, std::int32_t stepCm);
