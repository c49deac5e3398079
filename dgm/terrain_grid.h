// The converter's working grid and the steps between the elevation readers
// and the ".ter" writer: joining inputs into one mosaic, cutting, resampling
// onto the terrain's metric grid and filling holes.
//
// Memory: the grids keep every row in an allocation of its own. A mosaic
// that grows by a tile therefore copies one row at a time (never the whole
// grid twice), and the resampler frees the source rows it has passed, so a
// run holds little more than the largest grid of the chain.
//
// Coordinates follow ElevationGrid: point (c, r) lies at x = west + c × stepX,
// y = north − r × stepY; row 0 is the northern row.
#pragma once

#include "dgm/elevation_grid.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RowGrid {
    std::size_t columns = 0;              // points west to east
    std::vector<std::vector<float>> rows; // north to south, each `columns` long; NaN = no data
    double west = 0.0;                    // x of column 0 (metres or degrees)
    double north = 0.0;                   // y of row 0
    double stepX = 0.0;                   // > 0 once the grid holds points
    double stepY = 0.0;                   // > 0 once the grid holds points
    bool geographic = false;              // x/y in degrees of longitude/latitude
    int epsg = 0;                         // 0 = unknown

    std::size_t rowCount() const { return rows.size(); }
    bool empty() const { return columns == 0 || rows.empty(); }
};

// An area in the inputs' coordinates; the corners may come in any order.
struct Area {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
};

// The most points a ".ter" holds along one side (16-bit counts).
inline constexpr std::size_t MaxTerrainSide = 65535;

// The longest side of a mosaic, in points. A terrain holds at most
// MaxTerrainSide a side; the mosaic may be longer, since the terrain's step
// may be coarser (--raster), and for degrees the terrain's square step is
// finer than the grid's north-south spacing (at 60 degrees north the
// terrain has 1.4 times as many rows as the degree grid). Four times the
// terrain's side leaves room for both; beyond it the inputs do not lie
// beside each other. In all a mosaic holds at most MaxGridPoints
// (dgm/reader_support.h), as one input does.
inline constexpr std::size_t MaxMosaicSide = 4 * MaxTerrainSide;

// Joins input grids into one. The first grid fixes the coordinate system and
// the lattice (steps and the position of the points); every later one must
// share them: same kind of coordinates, same EPSG code where both know one,
// the same steps and points on the same lattice. Where inputs overlap the
// first valid height stays. With a cut only the points inside it are kept.
// Inputs with a gap between them are joined, the gap is a hole, as long as
// the joined grid stays within MaxMosaicSide a side and MaxGridPoints in
// all; that is checked before anything of its size is allocated.
class Mosaic {
  public:
    explicit Mosaic(std::optional<Area> cut = std::nullopt);

    // Pastes the grid, whose heights are freed afterwards. False after one
    // message when it does not fit the grids before it (naming both files),
    // or when the joined grid would be too large: "A und B liegen nicht
    // beieinander (x km)!" for the two inputs farthest apart when the grid
    // would be mostly gap, else "Hoehendaten zu gross mit ...". The mosaic
    // is then unchanged.
    [[nodiscard]] bool add(ElevationGrid& grid, const std::string& name);

    // The joined grid (empty when no point lay inside the cut); the mosaic
    // is empty afterwards. The counts below stay.
    RowGrid take();

    // Summed over every input added: why points hold no height, and the
    // points one file gives twice with different heights (the largest
    // difference of all).
    const NoDataCounts& noData() const { return noData_; }
    const HeightConflicts& repeated() const { return repeated_; }
    // Points where a later input overlaps an earlier one with a height more
    // than a centimetre apart (the earlier height stays).
    const HeightConflicts& overlaps() const { return overlaps_; }

  private:
    // An input's points inside the cut, in lattice indices [from, to).
    struct Input {
        std::string name;
        long long columnFrom, columnTo, rowFrom, rowTo;
    };
    double distance(const Input& a, const Input& b) const;
    bool refuseSize(const Input& added, long long columns, long long rows);

    std::optional<Area> cut_;
    RowGrid grid_;
    std::string firstName_;
    double anchorWest_ = 0.0; // lattice point (0, 0): the first input's first point
    double anchorNorth_ = 0.0;
    long long firstColumn_ = 0; // lattice column of grid_ column 0
    long long firstRow_ = 0;    // lattice row of grid_ row 0
    bool started_ = false;
    std::vector<Input> inputs_; // those with points in the mosaic
    double inputPoints_ = 0.0;  // their points, overlaps counted twice
    NoDataCounts noData_;
    HeightConflicts repeated_;
    HeightConflicts overlaps_;
};

// How far from valid data a hole may reach and still be interpolated.
inline constexpr int SmallHoleSteps = 10;

// What fillHoles did. Indices are those of the grid afterwards (after the
// cut); column c, row r lies at x = west + c × stepX, y = north − r × stepY
// of that grid.
struct FillReport {
    bool anyValid = false;      // false: no valid height at all, the grid is unchanged
    long long interpolated = 0; // points of small holes, filled from their edges inward
    long long flat = 0;         // points of large holes, filled flat
    // Rows and columns without any valid height, cut off the border.
    std::size_t cutNorth = 0, cutSouth = 0, cutWest = 0, cutEast = 0;
    std::size_t points = 0; // points of the grid after the cut
    // The smallest box round every filled point (inclusive; only when
    // filled() > 0), as indices and in the inputs' coordinates (x1/y1 the
    // north-western point, x2/y2 the south-eastern one; metres or degrees).
    std::size_t filledFirstColumn = 0, filledLastColumn = 0;
    std::size_t filledFirstRow = 0, filledLastRow = 0;
    Area filledArea;

    long long filled() const { return interpolated + flat; }
    double filledPercent() const {
        return points ? 100.0 * static_cast<double>(filled()) / static_cast<double>(points) : 0.0;
    }
};

// Fills the no-data points of a grid:
//  - rows and columns at the border without any valid height are cut off
//    (west and north move with them);
//  - a hole (no-data points connected through their eight neighbours) is
//    small when none of its points lies more than smallHoleSteps grid steps
//    (chessboard distance) from valid data, so a seam one step wide is small
//    however long; it is filled ring by ring inward from its edge, each
//    point the mean of the heights around it, so it takes the heights of
//    its shore;
//  - a larger hole is filled flat at the lowest valid height on its rim
//    (the valid points touching it), like a lake: where data is missing
//    over a wide area, continuing the slopes would invent hills.
// Time linear in the points; beside the grid one byte a point and the
// fronts of the waves through the holes.
FillReport fillHoles(RowGrid& grid, int smallHoleSteps = SmallHoleSteps);

// The lowest and highest height of a grid without holes.
struct HeightRange {
    double low = 0.0;
    double high = 0.0;
};
HeightRange heightRange(const RowGrid& grid);

// How the terrain's metric grid lies in the inputs' coordinates. For metric
// inputs the terrain keeps their coordinates. Degrees are mapped onto a
// plane around the centre of the area: x = (lon − lon0) × metresPerDegreeX,
// y = (lat − lat0) × metresPerDegreeY, with metresPerDegreeX shrinking with
// the cosine of the centre's latitude.
struct MetricFrame {
    bool fromDegrees = false;
    double lon0 = 0.0;             // degrees
    double lat0 = 0.0;             // degrees
    double metresPerDegreeX = 1.0; // east-west
    double metresPerDegreeY = 1.0; // north-south
    double toInputX(double x) const { return fromDegrees ? lon0 + x / metresPerDegreeX : x; }
    double toInputY(double y) const { return fromDegrees ? lat0 + y / metresPerDegreeY : y; }
    double toMetricX(double lon) const {
        return fromDegrees ? (lon - lon0) * metresPerDegreeX : lon;
    }
    double toMetricY(double lat) const {
        return fromDegrees ? (lat - lat0) * metresPerDegreeY : lat;
    }
};

// The frame for a grid: the identity for metric grids, the plane around the
// centre for degrees.
MetricFrame metricFrameFor(const RowGrid& grid);

// The grid step that a terrain of these inputs gets when none is asked for,
// in whole centimetres (the generator works in them): the input's step for
// metric grids (the smaller one when the two axes differ), for degrees the
// geometric mean of the east-west and north-south spacing at the centre.
std::int32_t naturalStepCm(const RowGrid& grid, const MetricFrame& frame);

// The size resampleToMetric gives a grid at the step (metres): as doubles,
// since a far-flung grid at a fine step has more points than any integer
// holds (infinite or NaN for extents beyond any number).
struct MetricSize {
    double columns = 0.0;
    double rows = 0.0;
    // At least one point, at most MaxTerrainSide a side, MaxGridPoints in all.
    bool fits() const;
};
MetricSize metricGridSize(const RowGrid& grid, const MetricFrame& frame, double step);

// The finest step in whole centimetres at which the grid's area fits the
// limits of MetricSize; 0 when none does (an extent beyond any number).
std::int64_t finestFittingStepCm(const RowGrid& grid, const MetricFrame& frame);

// Whether the grid resampled at the step (metres) fits the limits of
// MetricSize; false after a message naming its size and the finest
// --raster that fits: "Gelaende zu gross: C x R Punkte (hoechstens ...);
// mit --raster S passt es!". To be asked before resampleToMetric.
[[nodiscard]] bool metricGridFits(const RowGrid& grid, const MetricFrame& frame, double step);

// The grid resampled onto a metric grid of the step (in metres) over the
// same area: bilinear where the new step is finer than or equal to the old
// one, the mean over each new cell where it is coarser. The source rows are
// freed as the work passes them; `source` is empty afterwards. A metric
// grid whose step already is the wanted one is handed on unchanged. A grid
// beyond the limits of MetricSize (metricGridFits) is not made: the result
// is empty and `source` stays as it was.
RowGrid resampleToMetric(RowGrid&& source, const MetricFrame& frame, double step);
