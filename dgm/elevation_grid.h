// ElevationGrid: heights on a regular grid as the elevation readers deliver
// them, before they are joined, cut, resampled and written as a terrain.
//
// Geometry: point (c, r) lies at x = west + c × stepX, y = north − r × stepY
// (the point itself, i.e. the centre of a GeoTIFF or ASCII-grid cell, not its
// corner). Row 0 is the northern row, as in GeoTIFF, ASCII grids and SRTM;
// the ".ter" writer turns it round (a ".ter" stores the southern row first).
// x and y are metres of a projected system, or degrees of longitude and
// latitude when `geographic` is set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class ByteSource;

// Heights no terrain on Earth has: a value outside this range, NaN or an
// infinity is no data in every input, whatever the file declares (real
// files hide their no-data as -9999, -32768, -3.4e38 or 2^31 without saying
// so, and one such value read as a height wrecks the whole terrain).
inline constexpr double LowestPossibleHeight = -1000.0; // metres
inline constexpr double HighestPossibleHeight = 9000.0; // metres

// False for NaN, the infinities and everything outside the range above.
inline bool isPossibleHeight(double h) {
    return h >= LowestPossibleHeight && h <= HighestPossibleHeight;
}

// Why the points of an input hold no height, counted when it is read; the
// three add up to the NaN points of its heights.
struct NoDataCounts {
    long long declared = 0;   // the file's own no-data value, SRTM voids, lattice points
                              // no XYZ line gives
    long long impossible = 0; // outside LowestPossibleHeight..HighestPossibleHeight, NaN and
                              // the infinities the file holds without declaring them
    long long given = 0;      // a value named with --nodata
};

// Points given twice with heights more than a centimetre apart (one XYZ file
// repeating a point, or overlapping inputs); the first height stays.
struct HeightConflicts {
    long long points = 0; // each repetition that differs counts once
    double largest = 0.0; // metres, the largest difference
};

// What the user adds to every read.
struct ReadOptions {
    std::vector<double> noData; // further no-data values (--nodata), any input; compared
                                // with the heights as they are stored (single precision)
};

struct ElevationGrid {
    std::size_t columns = 0;    // points west to east
    std::size_t rows = 0;       // points north to south
    double west = 0.0;          // x of column 0 (metres or degrees)
    double north = 0.0;         // y of row 0 (metres or degrees)
    double stepX = 0.0;         // > 0, x distance of neighbouring columns
    double stepY = 0.0;         // > 0, y distance of neighbouring rows
    bool geographic = false;    // x/y are longitude/latitude in degrees
    int epsg = 0;               // EPSG code of the coordinate system, 0 = unknown
    std::vector<float> heights; // metres, rows × columns, index r × columns + c;
                                // NaN where the source has no data
    NoDataCounts noData;        // why the NaN points are NaN
    HeightConflicts conflicts;  // points the file gives twice

    static constexpr float NoData = std::numeric_limits<float>::quiet_NaN();
};

// Reads one elevation file, recognised by its content first and its
// extension (any case) second: GeoTIFF (.tif/.tiff), ESRI ASCII grid (.asc),
// XYZ points (.xyz/.txt/.csv) or an SRTM tile (.hgt). On failure returns
// false after one message (report) that names the file, and leaves `out`
// empty.
//
// Whatever the format, a value that is no height leaves a NaN, counted in
// out.noData by its cause: the file's declared no-data value, SRTM voids and
// XYZ lattice points without a line (declared), a value of options.noData
// (given), anything outside LowestPossibleHeight..HighestPossibleHeight
// (impossible). A grid in degrees must lie within -90..90 degrees latitude
// and -180..180 degrees longitude.
[[nodiscard]] bool readElevationFile(const std::string& path, ElevationGrid& out,
                                     const ReadOptions& options = {});
// The same over bytes at hand (a fuzz input, a file already open): name is
// shown in the messages and its extension helps to tell the format. Files
// beside the input (an ASCII grid's ".prj") are looked for only when the
// source is a file.
[[nodiscard]] bool readElevationFile(const std::string& name, const ByteSource& source,
                                     ElevationGrid& out, const ReadOptions& options = {});
