// Writing a Terragen terrain file (".ter"): the layout whose table opens
// raster/terragen_file.h, which reads what this writes. The chunks go in
// this order:
//
//   "TERRAGEN" "TERRAIN "
//   "SIZE"  points of the shorter side - 1
//   "XPTS", "YPTS"  the points along x and y (left out on request: a square
//           grid's shape is then given by "SIZE" alone)
//   "SCAL"  x, y, z in metres
//   "ALTW"  HeightScale, BaseHeight, the samples from the southern row on,
//           each row west to east, 2 bytes 0 when their count is odd
//   "EOF "
//
// A sample s stands for (BaseHeight + s × HeightScale / 65536) × SCAL z
// metres.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

struct TerragenHeader {
    std::uint16_t xpts = 0;       // sample points west to east
    std::uint16_t ypts = 0;       // sample points south to north
    float scaleX = 30.0f;         // SCAL x: metres between samples along x
    float scaleY = 30.0f;         // SCAL y: metres between samples along y
    float scaleZ = 30.0f;         // SCAL z: metres per terrain unit
    std::int16_t heightScale = 1; // terrain units × 65536 per sample step
    std::int16_t baseHeight = 0;  // terrain units
    bool pointChunks = true;      // write "XPTS" and "YPTS"
};

// Fills samples[0 .. xpts) with the samples of row `row`, 0 being the
// southern row. Called once per row, from the south on, so a source may
// free each row once it is handed over.
using TerragenRowSource = std::function<void(std::size_t row, std::int16_t* samples)>;

// The file image, or an empty one (the source never called) when the header
// cannot be written: fewer than 2 points along a side, or no "XPTS"/"YPTS"
// for a grid that is not square.
[[nodiscard]] std::vector<std::uint8_t> encodeTerragenFile(const TerragenHeader& header,
                                                           const TerragenRowSource& row);

// How heights from `low` to `high` metres on a grid of `stepCm` are stored:
//
// SCAL x and y are the grid step, as the float whose truncation to whole
// centimetres gives exactly the step (the generator reads the step so;
// 0.29f alone would truncate to 28 cm).
//
// SCAL z equals the grid step, as GDAL writes it: GDAL's reader scales the
// heights by SCAL x, ours by SCAL z, and only then do both read the same
// heights. BaseHeight (whole units) lies in the middle of the heights, or as
// near to it as an int16 allows, and the samples spend the whole int16 range
// on the rest: a range of R metres is stored in steps of about
// (R + step) / 65536 m (better than 1 cm up to 600 m). With the step as the
// unit an int16 reaches about 49,000 steps (12 km on a 25 cm grid); only
// heights beyond that make SCAL z double until they fit, and then GDAL reads
// other heights than ours (gdalReadsAlike says so).
struct TerrainEncoding {
    float scaleXY = 0.0f;         // SCAL x and y, metres
    float scaleZ = 1.0f;          // SCAL z, metres per height unit
    std::int16_t heightScale = 1; // units × 65536 per sample step
    std::int16_t baseHeight = 0;  // units
    // GDAL's reader takes the unit from SCAL x: true when it reads our heights.
    bool gdalReadsAlike() const { return scaleZ == scaleXY; }
    // The sample nearest to `metres`, within ±32767; NaN gives 0.
    std::int16_t sample(double metres) const;
    // The header of an xpts × ypts grid stored so.
    TerragenHeader header(std::uint16_t xpts, std::uint16_t ypts) const;
};

// The encoding for heights from low to high metres on a grid of stepCm.
TerrainEncoding chooseTerrainEncoding(double low, double high, std::int32_t stepCm);
